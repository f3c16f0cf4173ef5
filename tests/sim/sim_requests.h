#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "protocol/crc32.h"
#include "protocol/seven_bit.h"

// Requests as the host puts them on the wire, assembled here from the message layouts so
// that the device is checked against the layouts and not against the host's own code.
namespace pxr9::testing {

using Bytes = std::vector<std::uint8_t>;

inline constexpr std::uint8_t kModel = 0x6E;

inline void appendField(Bytes& out, std::uint32_t v, int k) {
    for (int i = 0; i < k; ++i) out.push_back(static_cast<std::uint8_t>((v >> (7 * i)) & 0x7F));
}

inline Bytes identityRequest() {
    return {0xF0, 0x7E, 0x00, 0x06, 0x01, 0xF7};
}
inline Bytes updateStart(std::uint8_t model = kModel) {
    return {0xF0, 0x52, 0x00, model, 0x01, 0xF7};
}
inline Bytes updateEnd(std::uint8_t model = kModel) {
    return {0xF0, 0x52, 0x00, model, 0x04, 0xF7};
}

inline Bytes flashErase(std::uint32_t address, std::uint32_t size) {
    Bytes m = {0xF0, 0x52, 0x00, kModel, 0x0A};
    appendField(m, address, 5);
    appendField(m, size, 5);
    m.push_back(0xF7);
    return m;
}

inline Bytes memoryRead(std::uint32_t address, std::uint32_t length = 4) {
    Bytes m = {0xF0, 0x52, 0x00, kModel, 0x60, 0x30};
    appendField(m, address, 5);
    appendField(m, length, 5);
    m.push_back(0xF7);
    return m;
}

// crcOverride replaces the CRC of the data, to send a damaged block.
inline Bytes writeBlock(std::uint32_t address, std::span<const std::uint8_t> data,
                        const std::uint32_t* crcOverride = nullptr) {
    Bytes m = {0xF0, 0x52, 0x00, kModel, 0x02};
    appendField(m, address, 5);
    appendField(m, static_cast<std::uint32_t>(data.size()), 2);
    Bytes packed(packedLength(data.size()));
    packSevenBit(data.data(), data.size(), packed.data());
    m.insert(m.end(), packed.begin(), packed.end());
    appendField(m, crcOverride ? *crcOverride : sysexCrc32(data.data(), data.size()), 5);
    m.push_back(0xF7);
    return m;
}

inline Bytes status(std::uint8_t value, std::uint8_t model = kModel) {
    return {0xF0, 0x52, 0x00, model, 0x00, value, 0xF7};
}

// Bytes n, n+1, ... (wrapping), a block whose misplacement shows.
inline Bytes counting(std::size_t n, std::uint8_t first = 0) {
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>(first + i);
    return b;
}

}  // namespace pxr9::testing
