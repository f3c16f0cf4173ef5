#include "sim/device_replies.h"

#include <algorithm>

#include "protocol/crc32.h"
#include "protocol/seven_bit.h"

namespace pxr9::sim {

namespace {
// Whatever it is told to send, the device keeps every byte inside the frame below 0x80.
std::uint8_t dataByte(std::uint8_t b) {
    return b & 0x7F;
}
}  // namespace

std::vector<std::uint8_t> makeStatus(std::uint8_t modelId, std::uint8_t status) {
    return {0xF0, 0x52, 0x00, dataByte(modelId), 0x00, dataByte(status), 0xF7};
}

std::vector<std::uint8_t> makeIdentityReply(std::uint32_t identity) {
    std::vector<std::uint8_t> reply = {0xF0, 0x7E, 0x00, 0x06, 0x02, 0x52};
    for (int i = 0; i < 4; ++i)
        reply.push_back(dataByte(static_cast<std::uint8_t>(identity >> (8 * i))));
    // Software revision "1000".
    reply.insert(reply.end(), {0x31, 0x30, 0x30, 0x30, 0xF7});
    return reply;
}

std::vector<std::uint8_t> makeReadData(std::uint8_t modelId, std::span<const std::uint8_t> data,
                                       ReadDataForm form) {
    const std::size_t n = data.size();
    const std::size_t p = packedLength(n);
    std::vector<std::uint8_t> reply(n + (n + 6) / 7 + 17);
    const std::uint8_t head[] = {
        0xF0, 0x52, 0x00, dataByte(modelId), 0x60, dataByte(form.byte5), dataByte(form.byte6),
        0x00, 0x00};
    std::copy(std::begin(head), std::end(head), reply.begin());
    putSevenBitField(&reply[9], static_cast<std::uint32_t>(n), 2);
    packSevenBit(data.data(), n, &reply[11]);
    std::uint32_t crc = sysexCrc32(data.data(), n);
    if (form.corruptCrc) crc ^= 1u;
    putSevenBitField(&reply[11 + p], crc, 5);
    reply.back() = 0xF7;
    return reply;
}

}  // namespace pxr9::sim
