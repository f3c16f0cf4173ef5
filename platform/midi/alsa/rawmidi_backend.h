#pragma once

#include "midi/midi_connection.h"
#include "platform/midi/port_notes.h"

namespace pxr9 {

// Hardware ports through ALSA rawmidi, in card, device, substream order. A send returns
// once the bytes have been taken by the driver; a sequencer port would drop what does not fit
// its buffer and tell nobody. Only when the rawmidi port is busy because the kernel's
// sequencer bridge holds it for someone else does the way lead through the sequencer, paced
// so that nothing is dropped. Every open that fails or takes that way leaves a note saying
// who holds the port and how to free it.
class RawMidiOutputBackend : public OutputBackend {
  public:
    explicit RawMidiOutputBackend(PortNotes* notes = nullptr) : notes_(notes) {}
    std::vector<PortEntry> ports() override;
    std::unique_ptr<OutputConnection> open(const PortEntry& port) override;

  private:
    PortNotes* notes_;
};

class RawMidiInputBackend : public InputBackend {
  public:
    explicit RawMidiInputBackend(PortNotes* notes = nullptr) : notes_(notes) {}
    std::vector<PortEntry> ports() override;
    std::unique_ptr<InputConnection> open(const PortEntry& port, SysexReceiver& receiver) override;

  private:
    PortNotes* notes_;
};

}  // namespace pxr9
