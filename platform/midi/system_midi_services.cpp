#include "platform/midi/system_midi_services.h"

#include "platform/midi/alsa/rawmidi_backend.h"
#include "platform/midi/jack/jack_backend.h"
#include "platform/midi/jack/jack_session.h"

namespace pxr9 {

// Members end in reverse order: the directories first, then the backends and the session
// they use.
struct SystemMidiServices::Parts {
    PortNotes notes;
    JackSession jack;
    RawMidiInputBackend rawIn{&notes};
    RawMidiOutputBackend rawOut{&notes};
    JackInputBackend jackIn{jack, &notes};
    JackOutputBackend jackOut{jack, &notes};
    InputPorts inputs{{&rawIn, &jackIn}};
    OutputPorts outputs{{&rawOut, &jackOut}};
};

SystemMidiServices::SystemMidiServices() : parts_(std::make_unique<Parts>()) {}
SystemMidiServices::~SystemMidiServices() = default;

InputPorts& SystemMidiServices::inputs() {
    return parts_->inputs;
}
OutputPorts& SystemMidiServices::outputs() {
    return parts_->outputs;
}
PortNotes& SystemMidiServices::portNotes() {
    return parts_->notes;
}

}  // namespace pxr9
