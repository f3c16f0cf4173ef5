#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <shared_mutex>

#include "midi/port_directory.h"

namespace pxr9 {

// The only way anything reaches the device: whole SysEx messages, each send blocking until
// the connection has taken every byte or given up.
class MidiOutPort {
  public:
    explicit MidiOutPort(OutputPorts& ports) : ports_(ports) {}
    ~MidiOutPort() { close(); }
    MidiOutPort(const MidiOutPort&) = delete;
    MidiOutPort& operator=(const MidiOutPort&) = delete;

    // Opens device `deviceIndex` of the list last taken; true when open.
    [[nodiscard]] bool open(std::int32_t deviceIndex);
    // Cuts every send in progress short, then closes; never waits on a stuck device.
    void close();
    // True when sent; false for a closed port, an empty message, a refusal, or a send that
    // could not finish within kSendBound.
    [[nodiscard]] bool send(const std::uint8_t* bytes, std::size_t size);
    bool isOpen() const;
    // True when the device behind the open port is gone: no send will ever reach it.
    bool deviceGone() const;
    // From any thread: a send in progress fails soon, and every later one at once, until the
    // port is opened again. For a device that is gone: a send must not wait out its bound.
    void cancelSends();

  private:
    OutputPorts& ports_;
    // Sends hold it shared (two threads may send at once); open and close hold it
    // exclusively, so a close never takes effect under a send that is still running. Close
    // cancels first, which ends those sends soon, so it never waits long for the gate.
    mutable std::shared_mutex gate_;
    std::unique_ptr<OutputConnection> connection_;
};

}  // namespace pxr9
