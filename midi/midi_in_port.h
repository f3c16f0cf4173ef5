#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>

#include "midi/port_directory.h"
#include "midi/receive_queue.h"

namespace pxr9 {

// Receives everything the device sends: each message its connection delivers becomes one
// node of the receive queue, in the order of arrival.
class MidiInPort final : private SysexReceiver {
  public:
    explicit MidiInPort(InputPorts& ports) : ports_(ports) {}
    ~MidiInPort() { close(); }
    MidiInPort(const MidiInPort&) = delete;
    MidiInPort& operator=(const MidiInPort&) = delete;

    // Opens and starts device `deviceIndex` of the list last taken; true when open. Callers
    // close first: an open port is not silently replaced.
    [[nodiscard]] bool open(std::int32_t deviceIndex);
    // Does nothing when not open. Returns once nothing more is delivered; queued messages
    // stay queued.
    void close();
    // Closes the port and frees every queued message.
    void clearQueue();

    bool isOpen() const { return isOpen_.load(); }
    ReceiveQueue& queue() { return queue_; }

  private:
    void received(const std::uint8_t* bytes, std::size_t size) override;
    void inputEnded() override;

    InputPorts& ports_;
    // Serialises open and close (close also runs on a worker thread).
    std::mutex controlMutex_;
    std::unique_ptr<InputConnection> connection_;
    std::atomic<bool> isOpen_{false};
    ReceiveQueue queue_;
};

}  // namespace pxr9
