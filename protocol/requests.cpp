#include "protocol/requests.h"

namespace pxr9 {

namespace {

// A request is about to leave: a signal given before now belongs to an earlier exchange and
// must not end the wait for this one.
void startExchange(DeviceLink& link) {
    link.replyEvent.reset();
}

bool sendBuilt(DeviceLink& link, std::size_t length) {
    if (length == 0) return false;
    startExchange(link);
    return sendSysEx(link.out, link.sendBuffer.data(), static_cast<std::int32_t>(length));
}

}  // namespace

bool sendIdentityRequest(DeviceLink& link) {
    startExchange(link);
    return sendSysEx(link.out, kIdentityRequest.data(),
                     static_cast<std::int32_t>(kIdentityRequest.size()));
}

bool sendUpdateStart(DeviceLink& link) {
    return sendBuilt(link, buildUpdateStart(link.modelId(), link.sendBuffer));
}

bool sendFlashErase(DeviceLink& link, std::uint32_t address, std::uint32_t size) {
    return sendBuilt(link, buildFlashErase(link.modelId(), address, size, link.sendBuffer));
}

bool sendWriteBlock(DeviceLink& link, std::uint8_t modelId, const std::uint8_t* data,
                    std::uint32_t address, std::uint32_t length) {
    return sendBuilt(link, buildWriteBlock(modelId, data, address, length, link.sendBuffer));
}

bool sendUpdateEnd(DeviceLink& link) {
    return sendBuilt(link, buildUpdateEnd(link.modelId(), link.sendBuffer));
}

bool sendMemoryRead(DeviceLink& link, const MemoryReadTemplate& form, std::uint32_t address,
                    std::uint32_t length) {
    link.readBuffer.reset();
    return sendBuilt(link, buildMemoryRead(form, link.modelId(), address, length, link.sendBuffer));
}

bool sendIdentityReply(DeviceLink& link) {
    const IdentityReplyRecord record = buildIdentityReply(link.hostIdentity.load());
    return sendSysEx(link.out, record.data(), static_cast<std::int32_t>(record.size()));
}

bool sendStatus(DeviceLink& link, std::uint8_t status) {
    std::array<std::uint8_t, 7> message{};
    const std::size_t length = buildStatus(link.modelId(), status, message);
    return sendSysEx(link.out, message.data(), static_cast<std::int32_t>(length));
}

}  // namespace pxr9
