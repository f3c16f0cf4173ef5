#pragma once

#include <array>
#include <atomic>
#include <cstdint>

#include "midi/midi_out_port.h"
#include "midi/receive_queue.h"
#include "protocol/messages.h"
#include "protocol/read_buffer.h"
#include "protocol/reply_event.h"

namespace pxr9 {

// The reply code that ends a worker's wait because the dialog is going away; no device
// status has this value.
inline constexpr std::int32_t kAbortReplyCode = 255;

// The part of the shared updater state that the dispatcher and the request operations work
// on: where replies come from and go to, and the results they leave for a waiting worker.
// Plain results are atomics so the dialog's abort store and the dispatcher's stores never
// race; the reply event still orders every hand-over to the worker.
struct DeviceLink {
    DeviceLink(MidiOutPort& output, ReceiveQueue& input, ReplyEvent& event)
        : out(output), queue(input), replyEvent(event) {}
    DeviceLink(const DeviceLink&) = delete;
    DeviceLink& operator=(const DeviceLink&) = delete;

    MidiOutPort& out;
    ReceiveQueue& queue;
    ReplyEvent& replyEvent;

    // 0 success, kAbortReplyCode abort, 1 rejected Read Data, else a device status.
    std::atomic<std::int32_t> replyCode{0};
    // Bytes 6..9 of the last Identity Reply received.
    std::atomic<std::uint32_t> deviceIdentity{0};
    // Identity of the last answered identity check; its low byte is the model id of every
    // maker-specific message built afterwards.
    std::atomic<std::uint32_t> currentIdentity{0};
    // Bytes 6..9 of the host's own Identity Reply; written once a device is accepted.
    std::atomic<std::uint32_t> hostIdentity{0};

    ReadBuffer readBuffer;
    // Requests of the one running worker are assembled here; automatic answers never are.
    std::array<std::uint8_t, kSendBufferSize> sendBuffer{};

    std::uint8_t modelId() const {
        return static_cast<std::uint8_t>(currentIdentity.load(std::memory_order_relaxed));
    }
};

}  // namespace pxr9
