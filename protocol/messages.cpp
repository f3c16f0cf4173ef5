#include "protocol/messages.h"

#include <algorithm>

#include "protocol/crc32.h"
#include "protocol/seven_bit.h"

namespace pxr9 {

namespace {

// F0 52 00 modelId command: the head of every maker-specific message.
void putMakerHead(std::uint8_t modelId, std::uint8_t command, std::uint8_t* out) {
    out[0] = kSysexStart;
    out[1] = kMakerId;
    out[2] = 0x00;
    out[3] = modelId;
    out[4] = command;
}

std::size_t buildShortCommand(std::uint8_t modelId, std::uint8_t command,
                              std::span<std::uint8_t> out) {
    if (out.size() < 6) return 0;
    putMakerHead(modelId, command, out.data());
    out[5] = kSysexEnd;
    return 6;
}

}  // namespace

IdentityReplyRecord buildIdentityReply(std::uint32_t identity) {
    IdentityReplyRecord record = {0xF0, 0x7E, 0x00, 0x06, 0x02, 0x52, 0,   0,
                                  0,    0,    0x31, 0x30, 0x30, 0x30, 0xF7};
    for (int i = 0; i < 4; ++i) record[6 + i] = static_cast<std::uint8_t>(identity >> (8 * i));
    return record;
}

std::size_t buildStatus(std::uint8_t modelId, std::uint8_t status, std::span<std::uint8_t> out) {
    if (out.size() < 7) return 0;
    putMakerHead(modelId, kCmdStatus, out.data());
    out[5] = status;
    out[6] = kSysexEnd;
    return 7;
}

std::size_t buildUpdateStart(std::uint8_t modelId, std::span<std::uint8_t> out) {
    return buildShortCommand(modelId, kCmdUpdateStart, out);
}

std::size_t buildUpdateEnd(std::uint8_t modelId, std::span<std::uint8_t> out) {
    return buildShortCommand(modelId, kCmdUpdateEnd, out);
}

std::size_t buildFlashErase(std::uint8_t modelId, std::uint32_t address, std::uint32_t size,
                            std::span<std::uint8_t> out) {
    if (out.size() < 16) return 0;
    putMakerHead(modelId, kCmdFlashErase, out.data());
    putSevenBitField(&out[5], address, 5);
    putSevenBitField(&out[10], size, 5);
    out[15] = kSysexEnd;
    return 16;
}

std::size_t buildWriteBlock(std::uint8_t modelId, const std::uint8_t* data, std::uint32_t address,
                            std::uint32_t length, std::span<std::uint8_t> out) {
    if (data == nullptr || length < 1 || length > kMaxBlockLength) return 0;
    const std::size_t total = writeBlockMessageLength(length);
    if (out.size() < total) return 0;
    putMakerHead(modelId, kCmdWriteBlock, out.data());
    putSevenBitField(&out[5], address, 5);
    putSevenBitField(&out[10], length, 2);
    const std::size_t p = packSevenBit(data, length, &out[12]);
    putSevenBitField(&out[12 + p], sysexCrc32(data, length), kCrcFieldLength);
    out[17 + p] = kSysexEnd;
    return total;
}

std::size_t buildMemoryRead(const MemoryReadTemplate& form, std::uint8_t modelId,
                            std::uint32_t address, std::uint32_t length,
                            std::span<std::uint8_t> out) {
    if (out.size() < form.size()) return 0;
    std::copy(form.begin(), form.end(), out.begin());
    out[3] = modelId;
    putSevenBitField(&out[6], address, 5);
    putSevenBitField(&out[11], length, 5);
    return form.size();
}

}  // namespace pxr9
