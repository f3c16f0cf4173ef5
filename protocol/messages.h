#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace pxr9 {

// Framing bytes and identifiers of the device's SysEx dialect.
inline constexpr std::uint8_t kSysexStart = 0xF0;
inline constexpr std::uint8_t kSysexEnd = 0xF7;
inline constexpr std::uint8_t kMakerId = 0x52;
inline constexpr std::uint8_t kUniversalNonRealTime = 0x7E;
inline constexpr std::uint8_t kGeneralInformation = 0x06;

// Sub-IDs of a General Information message (index 4 of a universal message).
inline constexpr std::uint8_t kSubIdentityRequest = 0x01;
inline constexpr std::uint8_t kSubIdentityReply = 0x02;

// Command bytes (index 4 of a maker-specific message).
enum Command : std::uint8_t {
    kCmdStatus = 0x00,
    kCmdUpdateStart = 0x01,
    kCmdWriteBlock = 0x02,
    // No message of ours carries these two; a device that sends one has the first ignored
    // and the second acknowledged, like Update Start and Update End.
    kCmdUnnamedIgnored = 0x03,
    kCmdUpdateEnd = 0x04,
    kCmdUnnamedAcknowledged = 0x05,
    kCmdFlashErase = 0x0A,
    kCmdMemory = 0x60,
};
inline constexpr std::uint8_t kSubReadRequest = 0x30;  // Memory Read byte 5; Read Data byte 6
inline constexpr std::uint8_t kSubReadData = 0x04;     // Read Data byte 5

// Status bytes (index 5 of a Status message).
inline constexpr std::uint8_t kStatusSuccess = 0x00;
// What the host answers to a command it does not carry out.
inline constexpr std::uint8_t kStatusRefused = 0x01;
// The device's answer to Update Start when it is not in its firmware update mode.
inline constexpr std::uint8_t kStatusNotInUpdateMode = 0x0B;

// Largest Write Block payload: its length travels in a two-byte seven-bit field.
inline constexpr std::uint32_t kMaxBlockLength = 16383;
inline constexpr std::size_t kSendBufferSize = 65536;

inline constexpr std::array<std::uint8_t, 6> kIdentityRequest = {
    kSysexStart, kUniversalNonRealTime, 0x00, kGeneralInformation, kSubIdentityRequest, kSysexEnd};
using IdentityReplyRecord = std::array<std::uint8_t, 15>;
// The host's own Identity Reply, with `identity` in bytes 6..9, least significant first.
IdentityReplyRecord buildIdentityReply(std::uint32_t identity);

// The fixed form of a Memory Read; each use copies it and fills bytes 3 and 6..15.
using MemoryReadTemplate = std::array<std::uint8_t, 17>;
inline constexpr MemoryReadTemplate kMemoryReadTemplate = {
    0xF0, 0x52, 0x00, 0x00, 0x60, 0x30, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xF7};

// Builders write one complete message into `out` and return its length, or 0 when the
// arguments cannot form a message or `out` is too small.
std::size_t buildStatus(std::uint8_t modelId, std::uint8_t status, std::span<std::uint8_t> out);
std::size_t buildUpdateStart(std::uint8_t modelId, std::span<std::uint8_t> out);
std::size_t buildUpdateEnd(std::uint8_t modelId, std::span<std::uint8_t> out);
std::size_t buildFlashErase(std::uint8_t modelId, std::uint32_t address, std::uint32_t size,
                            std::span<std::uint8_t> out);
std::size_t buildWriteBlock(std::uint8_t modelId, const std::uint8_t* data, std::uint32_t address,
                            std::uint32_t length, std::span<std::uint8_t> out);
std::size_t buildMemoryRead(const MemoryReadTemplate& form, std::uint8_t modelId,
                            std::uint32_t address, std::uint32_t length,
                            std::span<std::uint8_t> out);

// Write Block size for n data bytes: header 12, packed data, CRC 5, end 1.
constexpr std::size_t writeBlockMessageLength(std::size_t n) {
    return n + (n + 6) / 7 + 18;
}

}  // namespace pxr9
