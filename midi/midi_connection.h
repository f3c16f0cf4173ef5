#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace pxr9 {

// The one seam where a MIDI system enters: every backend (ALSA, JACK, the Windows multimedia
// services, the test doubles) offers ports through these interfaces, and the ports in this
// folder sit directly on them.

// One port a backend offers: the name a user sees and what the backend needs to open it.
struct PortEntry {
    std::string name;
    std::string address;
};

// The longest a send may take before it fails like any failed send. Generous: 4,700 bytes
// at the slowest MIDI rate (3,125 bytes/s) take 1.5 s.
inline constexpr std::chrono::milliseconds kSendBound{10000};

// An open output: sends one whole message and returns when the buffer may be reused.
class OutputConnection {
  public:
    virtual ~OutputConnection() = default;
    // True once every byte was taken; false when the system refused them, when they were
    // not taken within kSendBound, or after cancel(). A send that ran out of time is taken
    // back: no byte of it is sent later.
    virtual bool send(const std::uint8_t* data, std::size_t size) = 0;
    // From any thread: a send in progress returns false soon, and every later send fails
    // at once. Closing a port never waits on a stuck device.
    virtual void cancel() = 0;
    // True once the system said the device is gone (unplugged): no send will reach it again.
    virtual bool deviceGone() const { return false; }
};

// Where an input delivers what the device sends, on the input's own thread.
class SysexReceiver {
  public:
    // One whole SysEx message (F0 .. F7), or one piece of at most kMaxPiece bytes of a longer
    // one. Valid only during the call.
    virtual void received(const std::uint8_t* bytes, std::size_t size) = 0;
    // The input ended by itself (the device went away). Told at most once per connection,
    // never after stop() has begun; nothing more is delivered afterwards.
    virtual void inputEnded() = 0;

    // The longest piece delivered at once: a longer message arrives in several.
    static constexpr std::size_t kMaxPiece = 8192;

  protected:
    ~SysexReceiver() = default;
};

// An open input. Destroying it ends every delivery into its receiver.
class InputConnection {
  public:
    virtual ~InputConnection() = default;
    // Begins delivering; false when the system would not start.
    virtual bool start() = 0;
    // Returns once no delivery runs and none will start. Never called from inside one.
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
    // Null when the port cannot be opened. Delivers into `receiver` once started.
    virtual std::unique_ptr<InputConnection> open(const PortEntry& port,
                                                  SysexReceiver& receiver) = 0;
};

}  // namespace pxr9
