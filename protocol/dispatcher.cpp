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
// each request once). Anything else is dropped without writing what the worker reads. The
// exchange lock orders this against the start of the next request.
class HandOver {
  public:
    HandOver(DeviceLink& link, std::uint64_t arrival, ReplyKind kind)
        : link_(link),
          lock_(link.exchangeMutex),
          kind_(kind),
          current_(arrival >= link.answersFrom && !link.answered &&
                   (link.expected == Expect::AnyAnswer || kind == ReplyKind::Identity)) {
        if (current_) link.answered = true;
    }
    HandOver(const HandOver&) = delete;
    HandOver& operator=(const HandOver&) = delete;

    bool current() const { return current_; }
    void signal() {
        link_.replyKind.store(kind_);
        link_.replyEvent.set();
    }
    void signal(std::int32_t code) {
        link_.replyCode.store(code);
        signal();
    }

  private:
    DeviceLink& link_;
    std::lock_guard<std::mutex> lock_;
    const ReplyKind kind_;
    const bool current_;
};

// Read Data: F0 52 .. .. 60 04 30 .. .. n(2) packed(p) crc(5) F7.
void interpretReadData(DeviceLink& link, const std::uint8_t* m, std::size_t size,
                       std::uint64_t arrival) {
    HandOver reply(link, arrival, ReplyKind::ReadData);
    if (!reply.current()) return;
    if (size < 6) {
        // Too short to tell what it is: rejected, so no stale success is read as data.
        reply.signal(1);
        return;
    }
    if (m[5] != kSubReadData) {
        // Ends the wait with the code left by an earlier message.
        reply.signal();
        return;
    }
    link.replyCode.store(1);
    if (size < 11 || m[6] != kSubReadRequest) {
        reply.signal();
        return;
    }
    const std::size_t n = m[9] | (static_cast<std::size_t>(m[10]) << 7);
    const std::size_t p = packedLength(n);
    if (size < 16 + p) {
        reply.signal();
        return;
    }
    const std::uint32_t crc = readSevenBitField(&m[11 + p], kCrcFieldLength);
    if (link.readBuffer.appendPacked(&m[11], n, crc) == ReadBuffer::Append::Accepted) {
        link.replyCode.store(0);
    }
    reply.signal();
}

void interpretMakerSpecific(DeviceLink& link, const std::uint8_t* m, std::size_t size,
                            std::uint64_t arrival) {
    if (size < 5) return;
    const std::uint8_t command = m[4];
    switch (command) {
        case kCmdStatus:
            if (size >= 6) {
                HandOver reply(link, arrival, ReplyKind::Status);
                if (reply.current()) reply.signal(m[5]);
            }
            return;
        case kCmdUpdateStart:
        case kCmdUpdateEnd:
        case 0x05:
            sendStatus(link, 0x00);
            return;
        case kCmdWriteBlock: {
            HandOver reply(link, arrival, ReplyKind::Accepted);
            if (reply.current()) reply.signal(0);
            return;
        }
        case 0x03:
            return;
        case kCmdMemory:
            interpretReadData(link, m, size, arrival);
            return;
        default:
            sendStatus(link, 0x01);
            return;
    }
}

void interpretUniversal(DeviceLink& link, const std::uint8_t* m, std::size_t size,
                        std::uint64_t arrival) {
    if (size < 5 || m[3] != kGeneralInformation) return;
    switch (m[4]) {
        case 0x01:
            sendIdentityReply(link);
            return;
        case 0x02: {
            if (size < 10) return;
            HandOver reply(link, arrival, ReplyKind::Identity);
            if (!reply.current()) return;
            link.deviceIdentity.store(m[6] | (m[7] << 8) | (m[8] << 16) |
                                      (static_cast<std::uint32_t>(m[9]) << 24));
            reply.signal(0);
            return;
        }
        default:
            sendStatus(link, 0x01);
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
