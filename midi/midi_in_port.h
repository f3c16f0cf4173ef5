#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "midi/midi_service.h"
#include "midi/receive_queue.h"

namespace pxr9 {

// Receives everything the device sends: one 8192-byte buffer lent to the platform; each
// return of it with recorded bytes becomes one node of the receive queue.
class MidiInPort {
public:
    static constexpr std::uint32_t kBufferSize = 8192;

    explicit MidiInPort(MidiInService& service);
    ~MidiInPort();
    MidiInPort(const MidiInPort&) = delete;
    MidiInPort& operator=(const MidiInPort&) = delete;

    // 1 = open, 0 = failure (everything done so far is undone).
    int open(std::int32_t deviceIndex);
    // Does nothing when not open. Queued nodes stay queued.
    void close();
    // Closes the port and frees every queued node.
    void clearQueue();

    bool isOpen() const { return isOpen_.load(); }
    std::int32_t deviceIndex() const { return deviceIndex_; }
    ReceiveQueue& queue() { return queue_; }

    // The platform's input callback; `instance` is the port.
    static void onInput(MidiHandle handle, std::uint32_t notice, void* instance,
                        std::uintptr_t param1, std::uintptr_t param2);

private:
    struct ReceiveBuffer;

    MidiInService& service_;
    MidiHandle handle_ = 0;
    std::int32_t deviceIndex_ = 0;
    std::atomic<bool> isOpen_{false};
    std::unique_ptr<ReceiveBuffer> buffer_;
    ReceiveQueue queue_;
};

}  // namespace pxr9
