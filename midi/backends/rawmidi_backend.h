#pragma once

#include "midi/backends/port_backend.h"

namespace pxr9 {

// Hardware ports through ALSA rawmidi, in card, device, substream order. Output blocks until
// the bytes have left (write, then drain); a sequencer port would drop what does not fit its
// buffer and tell nobody.
class RawMidiOutputBackend : public OutputBackend {
  public:
    std::vector<PortEntry> ports() override;
    std::unique_ptr<OutputConnection> open(const PortEntry& port) override;
};

class RawMidiInputBackend : public InputBackend {
  public:
    std::vector<PortEntry> ports() override;
    std::unique_ptr<InputConnection> open(const PortEntry& port, SysexRecorder& recorder) override;
};

}  // namespace pxr9
