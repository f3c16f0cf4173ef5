#include "platform/midi/system_midi_services.h"

#include "platform/midi/alsa/rawmidi_backend.h"
#include "platform/midi/jack/jack_backend.h"
#include "platform/midi/jack/jack_session.h"
#include "platform/midi/system_midi_in.h"
#include "platform/midi/system_midi_out.h"

namespace pxr9 {

// Members end in reverse order: the services first, then the backends and the session
// they use.
struct SystemMidiServices::Parts {
    PortNotes notes;
    JackSession jack;
    RawMidiInputBackend rawIn{&notes};
    RawMidiOutputBackend rawOut{&notes};
    JackInputBackend jackIn{jack, &notes};
    JackOutputBackend jackOut{jack, &notes};
    SystemMidiIn in{{&rawIn, &jackIn}};
    SystemMidiOut out{{&rawOut, &jackOut}};
};

SystemMidiServices::SystemMidiServices() : parts_(std::make_unique<Parts>()) {}
SystemMidiServices::~SystemMidiServices() = default;

MidiInService& SystemMidiServices::in() {
    return parts_->in;
}
MidiOutService& SystemMidiServices::out() {
    return parts_->out;
}
PortNotes& SystemMidiServices::portNotes() {
    return parts_->notes;
}

}  // namespace pxr9
