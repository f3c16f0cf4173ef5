#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "midi/midi_out_port.h"
#include "platform/midi/stream/sysex_recorder.h"

namespace pxr9 {

// One port a backend offers: the name a user sees and what the backend needs to open it.
struct PortEntry {
    std::string name;
    std::string address;
};

// The output port's bound on a send (kSendBoundMs), as the backends measure time.
inline constexpr std::chrono::milliseconds kSendBound{kSendBoundMs};

// An open output: sends one whole message and returns when the buffer may be reused.
class OutputConnection {
  public:
    virtual ~OutputConnection() = default;
    // True once every byte was taken; false when the system refused them, when they were
    // not taken within kSendBound, or after cancel().
    virtual bool send(const std::uint8_t* data, std::size_t size) = 0;
    // From any thread: a send in progress returns false soon, and every later send fails
    // at once. Closing a port never waits on a stuck device.
    virtual void cancel() = 0;
    // True once the system said the device is gone (unplugged): no send will reach it again.
    virtual bool deviceGone() const { return false; }
};

// An open input feeding a recorder. Destroying it ends every delivery into the recorder.
// When the device goes away it tells the recorder (SysexRecorder::inputEnded).
class InputConnection {
  public:
    virtual ~InputConnection() = default;
    virtual bool start() = 0;
    // Returns once no more bytes will be fed.
    virtual void stop() = 0;
};

// A source of output ports (a MIDI system), in a stable order.
class OutputBackend {
  public:
    virtual ~OutputBackend() = default;
    virtual std::vector<PortEntry> ports() = 0;
    // Null when the port cannot be opened.
    virtual std::unique_ptr<OutputConnection> open(const PortEntry& port) = 0;
};

// A source of input ports, in a stable order.
class InputBackend {
  public:
    virtual ~InputBackend() = default;
    virtual std::vector<PortEntry> ports() = 0;
    virtual std::unique_ptr<InputConnection> open(const PortEntry& port,
                                                  SysexRecorder& recorder) = 0;
};

}  // namespace pxr9
