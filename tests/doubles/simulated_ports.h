#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "midi/midi_connection.h"

namespace pxr9::testing {

// The port names both directions list, which of them is the simulated device, and whether
// opening is refused (a device that cannot be opened).
class PortTable {
  public:
    void set(std::vector<std::string> names, int deviceIndex);
    void failOpens(bool output, bool input);

    // Port k's address is "k".
    std::vector<PortEntry> entries() const;
    // The number of the port at `address`, or -1 when it cannot be opened.
    int open(const std::string& address, bool output) const;
    int deviceIndex() const;
    // The device's cable comes out (true) or goes back in (false).
    void unplug(bool out);
    bool unplugged() const;

  private:
    mutable std::mutex mutex_;
    bool unplugged_ = false;
    std::vector<std::string> names_{"KEVO PXR-9"};
    int deviceIndex_ = 0;
    bool failOutput_ = false;
    bool failInput_ = false;
};

// An output backend whose connections hand every sent message to `onSend`, taken at once
// unless `onSend` says the send failed. Sends to an unplugged device fail as gone.
class ForwardingOutput final : public OutputBackend {
  public:
    // False: the send failed (whatever became of its bytes). `port` is the port's number.
    using SendHandler = std::function<bool(int port, const std::uint8_t*, std::size_t)>;
    ForwardingOutput(PortTable& ports, SendHandler onSend)
        : ports_(ports), onSend_(std::move(onSend)) {}

    std::vector<PortEntry> ports() override { return ports_.entries(); }
    std::unique_ptr<OutputConnection> open(const PortEntry& port) override;

  private:
    class Connection;

    PortTable& ports_;
    SendHandler onSend_;
};

// An input backend that delivers each message from the simulated device to the receiver of
// the device's open port, in pieces as a platform does; after stop nothing is delivered.
class DeviceInput final : public InputBackend {
  public:
    explicit DeviceInput(PortTable& ports) : ports_(ports) {}

    std::vector<PortEntry> ports() override { return ports_.entries(); }
    std::unique_ptr<InputConnection> open(const PortEntry& port, SysexReceiver& receiver) override;

    // A message leaving the simulated device; dropped unless the device's port is open and
    // started.
    void deliver(const std::vector<std::uint8_t>& bytes);
    // The device's input ends, as when its cable comes out: the port is told once.
    void end();

  private:
    class Connection;

    PortTable& ports_;
    // Recursive: a receiver may look at the input from inside a delivery.
    std::recursive_mutex mutex_;
    SysexReceiver* receiver_ = nullptr;
};

}  // namespace pxr9::testing
