#include "protocol/crc32.h"

namespace pxr9 {

std::uint32_t sysexCrc32(const std::uint8_t* raw, std::size_t n) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < n; ++i) crc = (crc >> 8) ^ crcTable[(crc ^ raw[i]) & 0xFF];
    return crc;
}

}  // namespace pxr9
