#include "protocol/dispatcher.h"

#include "protocol/crc32.h"
#include "protocol/messages.h"
#include "protocol/requests.h"
#include "protocol/seven_bit.h"

namespace pxr9 {

namespace {

void signalWith(DeviceLink& link, std::int32_t code) {
    link.replyCode.store(code);
    link.replyEvent.set();
}

// Read Data: F0 52 .. .. 60 04 30 .. .. n(2) packed(p) crc(5) F7.
void interpretReadData(DeviceLink& link, const std::uint8_t* m, std::size_t size) {
    if (size < 6) {
        // Too short to tell what it is: rejected, so no stale success is read as data.
        signalWith(link, 1);
        return;
    }
    if (m[5] != kSubReadData) {
        link.replyEvent.set();  // ends the wait with the code left by an earlier message
        return;
    }
    link.replyCode.store(1);
    if (size < 11 || m[6] != kSubReadRequest) {
        link.replyEvent.set();
        return;
    }
    const std::size_t n = m[9] | (static_cast<std::size_t>(m[10]) << 7);
    const std::size_t p = packedLength(n);
    if (size < 16 + p) {
        link.replyEvent.set();
        return;
    }
    const std::uint32_t crc = readSevenBitField(&m[11 + p], kCrcFieldLength);
    if (link.readBuffer.appendPacked(&m[11], n, crc) == ReadBuffer::Append::Accepted) {
        link.replyCode.store(0);
    }
    link.replyEvent.set();
}

void interpretMakerSpecific(DeviceLink& link, const std::uint8_t* m, std::size_t size) {
    if (size < 5) return;
    const std::uint8_t command = m[4];
    switch (command) {
        case kCmdStatus:
            if (size >= 6) signalWith(link, m[5]);
            return;
        case 0x01:
        case 0x04:
        case 0x05:
            sendStatus(link, 0x00);
            return;
        case kCmdWriteBlock:
            signalWith(link, 0);
            return;
        case 0x03:
            return;
        case kCmdMemory:
            interpretReadData(link, m, size);
            return;
        default:
            sendStatus(link, 0x01);
            return;
    }
}

void interpretUniversal(DeviceLink& link, const std::uint8_t* m, std::size_t size) {
    if (size < 5 || m[3] != kGeneralInformation) return;
    switch (m[4]) {
        case 0x01:
            sendIdentityReply(link);
            return;
        case 0x02:
            if (size < 10) return;
            link.deviceIdentity.store(m[6] | (m[7] << 8) | (m[8] << 16) |
                                      (static_cast<std::uint32_t>(m[9]) << 24));
            signalWith(link, 0);
            return;
        default:
            sendStatus(link, 0x01);
            return;
    }
}

}  // namespace

void interpretMessage(DeviceLink& link, const std::uint8_t* m, std::size_t size) {
    if (size < 2 || m[0] != kSysexStart) return;
    if (m[1] == kMakerId) {
        interpretMakerSpecific(link, m, size);
    } else if (m[1] == kUniversalNonRealTime) {
        interpretUniversal(link, m, size);
    }
}

void dispatchReplies(DeviceLink& link) {
    for (const QueueNode* node = link.queue.head(); node != nullptr; node = link.queue.head()) {
        // A node without bytes stays at the head until the next call.
        if (node->size == 0) return;
        interpretMessage(link, node->data.get(), node->size);
        link.queue.popHead();
    }
}

void onPollTimer(std::uint32_t, std::uint32_t, std::uintptr_t userData, std::uintptr_t,
                 std::uintptr_t) {
    dispatchReplies(*reinterpret_cast<DeviceLink*>(userData));
}

}  // namespace pxr9
