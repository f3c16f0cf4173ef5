#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <limits>
#include <mutex>

#include "midi/midi_out_port.h"
#include "midi/receive_queue.h"
#include "protocol/messages.h"
#include "protocol/read_buffer.h"
#include "protocol/reply_event.h"

namespace pxr9 {

// The reply code that ends a worker's wait because the dialog is going away; no device
// status has this value.
inline constexpr std::int32_t kAbortReplyCode = 255;

// What kind of message ended a wait.
enum class ReplyKind : std::uint8_t {
    Status,    // a Status message: replyCode is its status
    Accepted,  // a maker-specific message with the Write Block command byte: code 0
    ReadData,  // a Read Data reply, accepted (code 0) or rejected
    Identity,  // an Identity Reply: deviceIdentity holds its word, code 0
};

// Which messages may answer the current request.
enum class Expect : std::uint8_t {
    AnyAnswer,      // the first message that ends a wait
    IdentityReply,  // an Identity Reply only: everything before it is a late answer
};

// The arrival number of a message that is taken as arrived after every request.
inline constexpr std::uint64_t kArrivedNow = std::numeric_limits<std::uint64_t>::max();

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
    // The kind of the last message that ended a wait.
    std::atomic<ReplyKind> replyKind{ReplyKind::Status};
    // Bytes 6..9 of the last Identity Reply received.
    std::atomic<std::uint32_t> deviceIdentity{0};
    // Identity of the last answered identity check; its low byte is the model id of every
    // maker-specific message built afterwards.
    std::atomic<std::uint32_t> currentIdentity{0};
    // Bytes 6..9 of the host's own Identity Reply; written once a device is accepted.
    std::atomic<std::uint32_t> hostIdentity{0};

    // True from the moment a request leaves until a worker has taken its answer: while it
    // is set, an answer to an earlier request may still be on its way.
    std::atomic<bool> answerOutstanding{false};
    // Set when the device went away (its input ended, or a send failed for that reason);
    // cleared when the ports are opened again.
    std::atomic<bool> deviceGone{false};

    // Orders the start of an exchange against the dispatcher's hand-over of a reply: a
    // message queued before the request left never ends its wait nor writes what it reads,
    // and a request takes one answer only. Guards the three fields below.
    std::mutex exchangeMutex;
    // Arrival number from which a queued message may answer the current request.
    std::uint64_t answersFrom = 0;
    Expect expected = Expect::AnyAnswer;
    // The current request has had its answer: whatever follows it is not its answer.
    bool answered = false;

    ReadBuffer readBuffer;
    // Requests of the one running worker are assembled here; automatic answers never are.
    std::array<std::uint8_t, kSendBufferSize> sendBuffer{};

    // Forgets every reply and the device's going away, for a run on freshly opened ports:
    // nothing queued until now ends a wait any more. An outstanding answer stays noted: it may
    // still come.
    void clearReplies() {
        std::lock_guard lock(exchangeMutex);
        answersFrom = queue.arrivals() + 1;
        answered = false;
        replyEvent.reset();
        replyCode.store(0);
        replyKind.store(ReplyKind::Status);
        deviceIdentity.store(0);
        readBuffer.reset();
        deviceGone.store(false);
    }

    // The device is gone: every wait ends at once, and a send still trying to reach it gives
    // up, now and until the ports open again.
    void markDeviceGone() {
        deviceGone.store(true);
        out.cancelSends();
        replyEvent.set();
    }

    std::uint8_t modelId() const {
        return static_cast<std::uint8_t>(currentIdentity.load(std::memory_order_relaxed));
    }
};

}  // namespace pxr9
