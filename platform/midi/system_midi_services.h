#pragma once

#include <memory>

#include "midi/port_directory.h"
#include "midi/port_watch.h"
#include "platform/midi/port_notes.h"

namespace pxr9 {

// The program's MIDI platform on Linux: hardware ports through ALSA rawmidi first (through
// the ALSA sequencer when its bridge holds the rawmidi port), then the MIDI ports of a
// running JACK server, in one numbering per direction.
class SystemMidiServices {
  public:
    SystemMidiServices();
    ~SystemMidiServices();
    SystemMidiServices(const SystemMidiServices&) = delete;
    SystemMidiServices& operator=(const SystemMidiServices&) = delete;

    InputPorts& inputs();
    OutputPorts& outputs();
    // Why a hardware port could not be opened, or how it was reached anyway.
    PortNotes& portNotes();
    // Sound cards coming and going, and the JACK server's ports.
    PortWatch& portWatch();

  private:
    struct Parts;
    std::unique_ptr<Parts> parts_;
};

}  // namespace pxr9
