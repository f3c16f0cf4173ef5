#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace pxr9 {

// Table of the reflected polynomial 0xEDB88320.
constexpr std::array<std::uint32_t, 256> makeCrcTable() {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t v = i;
        for (int step = 0; step < 8; ++step) v = (v & 1) ? (v >> 1) ^ 0xEDB88320u : v >> 1;
        table[i] = v;
    }
    return table;
}

inline constexpr std::array<std::uint32_t, 256> crcTable = makeCrcTable();

// CRC-32 without the final complement (the device checks it this way).
std::uint32_t sysexCrc32(const std::uint8_t* raw, std::size_t n);

// The CRC travels as a seven-bit field of 5 bytes.
inline constexpr int kCrcFieldLength = 5;

}  // namespace pxr9
