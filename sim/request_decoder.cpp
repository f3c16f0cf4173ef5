#include "sim/request_decoder.h"

#include "protocol/seven_bit.h"

namespace pxr9::sim {

namespace {

constexpr std::uint8_t kStart = 0xF0;
constexpr std::uint8_t kEnd = 0xF7;
constexpr std::uint8_t kUniversalNonRealTime = 0x7E;
constexpr std::uint8_t kMaker = 0x52;

constexpr std::uint8_t kCmdUpdateStart = 0x01;
constexpr std::uint8_t kCmdWriteBlock = 0x02;
constexpr std::uint8_t kCmdUpdateEnd = 0x04;
constexpr std::uint8_t kCmdFlashErase = 0x0A;
constexpr std::uint8_t kCmdMemory = 0x60;
constexpr std::uint8_t kMemoryReadSub = 0x30;

constexpr std::size_t kShortRequestLength = 6;
constexpr std::size_t kFlashEraseLength = 16;
constexpr std::size_t kMemoryReadLength = 17;
constexpr std::size_t kWriteBlockOverhead = 18;  // header 12, CRC 5, end 1
constexpr int kFieldLength = 5;

// An address or size field read in full: a value of 2^32 or more must be refused as out of
// range, not cut down to 32 bits and taken for a low address.
std::uint64_t wideField(const std::uint8_t* in, int k) {
    std::uint64_t v = 0;
    for (int i = k - 1; i >= 0; --i) v = (v << 7) | (in[i] & 0x7Fu);
    return v;
}

Request named(RequestKind kind, bool wellFormed) {
    Request r;
    r.kind = kind;
    r.wellFormed = wellFormed;
    return r;
}

bool isFrame(std::span<const std::uint8_t> m) {
    if (m.size() < 2 || m.front() != kStart || m.back() != kEnd) return false;
    for (std::size_t i = 1; i + 1 < m.size(); ++i) {
        if (m[i] >= 0x80) return false;
    }
    return true;
}

std::optional<Request> decodeUniversal(std::span<const std::uint8_t> m) {
    // Identity Request: F0 7E <device 00 or 7F for all> 06 01 F7.
    const bool forUs = m.size() > 2 && (m[2] == 0x00 || m[2] == 0x7F);
    if (m.size() == kShortRequestLength && forUs && m[3] == 0x06 && m[4] == 0x01) {
        return named(RequestKind::IdentityRequest, true);
    }
    return std::nullopt;
}

Request decodeWriteBlock(std::span<const std::uint8_t> m) {
    Request r = named(RequestKind::WriteBlock, false);
    if (m.size() < kWriteBlockOverhead) return r;
    r.address = wideField(&m[5], kFieldLength);
    r.length = wideField(&m[10], 2);
    const std::size_t p = packedLength(r.length);
    if (m.size() != kWriteBlockOverhead + p) return r;
    r.packed = m.subspan(12, p);
    r.crc = readSevenBitField(&m[12 + p], kFieldLength);
    r.wellFormed = true;
    return r;
}

std::optional<Request> decodeMaker(std::span<const std::uint8_t> m) {
    // F0 52 00 modelId command ...; any modelId is served.
    if (m.size() < kShortRequestLength || m[2] != 0x00) return std::nullopt;
    switch (m[4]) {
        case kCmdUpdateStart:
            return named(RequestKind::UpdateStart, m.size() == kShortRequestLength);
        case kCmdUpdateEnd:
            return named(RequestKind::UpdateEnd, m.size() == kShortRequestLength);
        case kCmdWriteBlock:
            return decodeWriteBlock(m);
        case kCmdFlashErase: {
            Request r = named(RequestKind::FlashErase, m.size() == kFlashEraseLength);
            if (r.wellFormed) {
                r.address = wideField(&m[5], kFieldLength);
                r.length = wideField(&m[10], kFieldLength);
            }
            return r;
        }
        case kCmdMemory: {
            // Byte 5 = 0x04 is a Read Data, which only the device sends: not a request.
            if (m[5] != kMemoryReadSub) {
                if (m[5] == 0x04) return std::nullopt;
                return named(RequestKind::MemoryRead, false);
            }
            Request r = named(RequestKind::MemoryRead, m.size() == kMemoryReadLength);
            if (r.wellFormed) {
                r.address = wideField(&m[6], kFieldLength);
                r.length = wideField(&m[11], kFieldLength);
            }
            return r;
        }
        default:
            return std::nullopt;  // Status messages and commands the device lacks
    }
}

}  // namespace

std::optional<Request> decodeRequest(std::span<const std::uint8_t> message) {
    if (!isFrame(message) || message.size() < 5) return std::nullopt;
    if (message[1] == kUniversalNonRealTime) return decodeUniversal(message);
    if (message[1] == kMaker) return decodeMaker(message);
    return std::nullopt;
}

}  // namespace pxr9::sim
