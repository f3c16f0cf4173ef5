#include "protocol/requests.h"

namespace pxr9 {

namespace {

enum class ReadStart { Keep, Reset };

// A request is about to leave: whatever arrived before now belongs to an earlier exchange,
// whether the dispatcher has handed it over already (answer and signal are reset) or not yet (its
// arrival number is below answersFrom). Under the lock the dispatcher holds for a hand-over,
// so no message falls between the two.
void startExchange(DeviceLink& link, ReadStart read = ReadStart::Keep,
                   Expect expect = Expect::AnyAnswer) {
    std::lock_guard lock(link.exchangeMutex);
    link.answersFrom = link.queue.arrivals() + 1;
    link.expected = expect;
    link.answered = false;
    link.answer.reset();
    if (read == ReadStart::Reset) link.readBuffer.reset();
    link.replyEvent.reset();
    link.answerOutstanding.store(true);
}

// A send that failed because the device is gone ends the wait at once; any other failed
// send leaves the wait to run out, as for a device that does not answer.
bool sent(DeviceLink& link, bool ok) {
    if (!ok && link.out.deviceGone()) link.markDeviceGone();
    return ok;
}

bool sendBuilt(DeviceLink& link, std::size_t length, ReadStart read = ReadStart::Keep) {
    if (length == 0) return false;
    startExchange(link, read);
    return sent(link, link.out.send(link.sendBuffer.data(), length));
}

}  // namespace

bool sendIdentityRequest(DeviceLink& link, Expect expect) {
    startExchange(link, ReadStart::Keep, expect);
    return sent(link, link.out.send(kIdentityRequest.data(), kIdentityRequest.size()));
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
    return sendBuilt(link, buildMemoryRead(form, link.modelId(), address, length, link.sendBuffer),
                     ReadStart::Reset);
}

bool sendIdentityReply(DeviceLink& link) {
    const IdentityReplyRecord record = buildIdentityReply(link.hostIdentity.load());
    return link.out.send(record.data(), record.size());
}

bool sendStatus(DeviceLink& link, std::uint8_t status) {
    std::array<std::uint8_t, 7> message{};
    const std::size_t length = buildStatus(link.modelId(), status, message);
    return link.out.send(message.data(), length);
}

}  // namespace pxr9
