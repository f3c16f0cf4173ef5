#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <limits>
#include <mutex>
#include <optional>
#include <utility>

#include "midi/midi_out_port.h"
#include "midi/receive_queue.h"
#include "protocol/messages.h"
#include "protocol/read_buffer.h"
#include "protocol/reply.h"
#include "protocol/reply_event.h"

namespace pxr9 {

// Which messages may answer the current request.
enum class Expect : std::uint8_t {
    AnyAnswer,      // the first message that ends a wait
    IdentityReply,  // an Identity Reply only: everything before it is a late answer
};

// The arrival number of a message that is taken as arrived after every request.
inline constexpr std::uint64_t kArrivedNow = std::numeric_limits<std::uint64_t>::max();

// The part of the shared updater state that the dispatcher and the request operations work
// on: where replies come from and go to, and the answer handed over to a waiting worker. The
// reply event says that something ended the wait; the answer itself travels as a value.
struct DeviceLink {
    DeviceLink(MidiOutPort& output, ReceiveQueue& input, ReplyEvent& event)
        : out(output), queue(input), replyEvent(event) {}
    DeviceLink(const DeviceLink&) = delete;
    DeviceLink& operator=(const DeviceLink&) = delete;

    MidiOutPort& out;
    ReceiveQueue& queue;
    ReplyEvent& replyEvent;

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
    // and a request takes one answer only. Guards the four fields below.
    std::mutex exchangeMutex;
    // Arrival number from which a queued message may answer the current request.
    std::uint64_t answersFrom = 0;
    Expect expected = Expect::AnyAnswer;
    // The current request has had its answer: whatever follows it is not its answer.
    bool answered = false;
    // That answer, from its hand-over until the worker takes it.
    std::optional<Reply> answer;

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
        answer.reset();
        replyEvent.reset();
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

    // The answer handed over for the current request, taken once; none when nothing was.
    std::optional<Reply> takeAnswer() {
        std::lock_guard lock(exchangeMutex);
        return std::exchange(answer, std::nullopt);
    }

    std::uint8_t modelId() const {
        return static_cast<std::uint8_t>(currentIdentity.load(std::memory_order_relaxed));
    }
};

}  // namespace pxr9
