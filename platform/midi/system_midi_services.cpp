#include "platform/midi/system_midi_services.h"

#include "platform/midi/alsa/rawmidi_backend.h"
#include "platform/midi/alsa/snd_dir_watch.h"
#include "platform/midi/jack/jack_backend.h"
#include "platform/midi/jack/jack_port_source.h"
#include "platform/midi/jack/jack_session.h"
#include "platform/midi/polled_port_watch.h"

namespace pxr9 {

// Members end in reverse order: the watch first (no call of its own is running then), the
// directories, then the backends and the session they use.
struct SystemMidiServices::Parts {
    PortNotes notes;
    JackSession jack;
    RawMidiInputBackend rawIn{&notes};
    RawMidiOutputBackend rawOut{&notes};
    JackInputBackend jackIn{jack, &notes};
    JackOutputBackend jackOut{jack, &notes};
    InputPorts inputs{{&rawIn, &jackIn}};
    OutputPorts outputs{{&rawOut, &jackOut}};
    SndDirWatch cards;
    JackPortSource jackPorts{jack};
    PolledPortWatch watch{{&cards, &jackPorts}};
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
PortWatch& SystemMidiServices::portWatch() {
    return parts_->watch;
}

}  // namespace pxr9
