#include "protocol/dispatcher.h"

#include "protocol/crc32.h"
#include "protocol/messages.h"
#include "protocol/requests.h"
#include "protocol/seven_bit.h"

namespace pxr9 {

namespace {

// A message that ends the waiting worker's wait. It counts only as the first answer of
// the kind the current request expects, arrived after that request left: one queued before
// belongs to an earlier exchange, one behind the answer is not the answer (the device answers
// each request once). Anything else is dropped without handing anything over. The exchange
// lock orders this against the start of the next request.
class HandOver {
  public:
    HandOver(DeviceLink& link, std::uint64_t arrival, Reply::Kind kind)
        : link_(link),
          lock_(link.exchangeMutex),
          current_(arrival >= link.answersFrom && !link.answered &&
                   (link.expected == Expect::AnyAnswer || kind == Reply::Kind::Identity)) {
        if (current_) link.answered = true;
    }
    HandOver(const HandOver&) = delete;
    HandOver& operator=(const HandOver&) = delete;

    bool current() const { return current_; }
    // Leaves the answer for the worker, then wakes it.
    void give(Reply answer) {
        link_.answer = answer;
        link_.replyEvent.set();
    }

  private:
    DeviceLink& link_;
    std::lock_guard<std::mutex> lock_;
    const bool current_;
};

// Read Data: F0 52 .. .. 60 04 30 .. .. n(2) packed(p) crc(5) F7. Anything else that carries
// the Memory command is a rejected reply: it ends the wait, and no earlier result passes for
// data.
bool acceptReadData(DeviceLink& link, const std::uint8_t* m, std::size_t size) {
    if (size < 11 || m[5] != kSubReadData || m[6] != kSubReadRequest) return false;
    const std::size_t n = m[9] | (static_cast<std::size_t>(m[10]) << 7);
    const std::size_t p = packedLength(n);
    if (size < 16 + p) return false;
    const std::uint32_t crc = readSevenBitField(&m[11 + p], kCrcFieldLength);
    return link.readBuffer.appendPacked(&m[11], n, crc) == ReadBuffer::Append::Accepted;
}

void interpretMakerSpecific(DeviceLink& link, const std::uint8_t* m, std::size_t size,
                            std::uint64_t arrival) {
    if (size < 5) return;
    switch (m[4]) {
        case kCmdStatus:
            if (size >= 6) {
                HandOver reply(link, arrival, Reply::Kind::Status);
                if (reply.current()) reply.give(Reply::status(m[5]));
            }
            return;
        case kCmdUpdateStart:
        case kCmdUpdateEnd:
        case kCmdUnnamedAcknowledged:
            sendStatus(link, kStatusSuccess);
            return;
        case kCmdWriteBlock: {
            HandOver reply(link, arrival, Reply::Kind::Status);
            if (reply.current()) reply.give(Reply::status(kStatusSuccess));
            return;
        }
        case kCmdUnnamedIgnored:
            return;
        case kCmdMemory: {
            HandOver reply(link, arrival, Reply::Kind::ReadData);
            if (reply.current()) reply.give(Reply::readData(acceptReadData(link, m, size)));
            return;
        }
        default:
            sendStatus(link, kStatusRefused);
            return;
    }
}

void interpretUniversal(DeviceLink& link, const std::uint8_t* m, std::size_t size,
                        std::uint64_t arrival) {
    if (size < 5 || m[3] != kGeneralInformation) return;
    switch (m[4]) {
        case kSubIdentityRequest:
            sendIdentityReply(link);
            return;
        case kSubIdentityReply: {
            if (size < 10) return;
            HandOver reply(link, arrival, Reply::Kind::Identity);
            if (!reply.current()) return;
            reply.give(Reply::identity(m[6] | (m[7] << 8) | (m[8] << 16) |
                                       (static_cast<std::uint32_t>(m[9]) << 24)));
            return;
        }
        default:
            sendStatus(link, kStatusRefused);
            return;
    }
}

}  // namespace

void interpretMessage(DeviceLink& link, const std::uint8_t* m, std::size_t size,
                      std::uint64_t arrival) {
    if (size < 2 || m[0] != kSysexStart) return;
    if (m[1] == kMakerId) {
        interpretMakerSpecific(link, m, size, arrival);
    } else if (m[1] == kUniversalNonRealTime) {
        interpretUniversal(link, m, size, arrival);
    }
}

void dispatchReplies(DeviceLink& link) {
    for (const QueueNode* node = link.queue.head(); node != nullptr; node = link.queue.head()) {
        // A node without bytes stays at the head until the next call.
        if (node->size == 0) return;
        interpretMessage(link, node->data.get(), node->size, node->arrival);
        link.queue.popHead();
    }
    // The input ended and everything it delivered before has been handled.
    if (link.queue.ended() && !link.deviceGone.load()) link.markDeviceGone();
}

}  // namespace pxr9
