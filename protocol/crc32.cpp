#include "protocol/crc32.h"

namespace pxr9 {

namespace {

using SliceTables = std::array<std::array<std::uint32_t, 256>, 8>;

// Table k gives the effect of a byte followed by k zero bytes. Eight bytes then take eight
// independent look-ups instead of a chain of eight dependent ones, which keeps a 4096-byte
// block well inside the time budget of building a Write Block.
constexpr SliceTables makeSliceTables() {
    SliceTables tables{};
    tables[0] = crcTable;
    for (std::size_t k = 1; k < tables.size(); ++k) {
        for (std::size_t i = 0; i < 256; ++i) {
            const std::uint32_t previous = tables[k - 1][i];
            tables[k][i] = (previous >> 8) ^ crcTable[previous & 0xFF];
        }
    }
    return tables;
}

constexpr SliceTables kSlices = makeSliceTables();

std::uint32_t loadLittleEndian(const std::uint8_t* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

}  // namespace

std::uint32_t sysexCrc32(const std::uint8_t* raw, std::size_t n) {
    std::uint32_t crc = 0xFFFFFFFFu;
    std::size_t i = 0;
    for (; n - i >= 8; i += 8) {
        const std::uint32_t low = crc ^ loadLittleEndian(raw + i);
        const std::uint32_t high = loadLittleEndian(raw + i + 4);
        crc = kSlices[7][low & 0xFF] ^ kSlices[6][(low >> 8) & 0xFF] ^
              kSlices[5][(low >> 16) & 0xFF] ^ kSlices[4][low >> 24] ^ kSlices[3][high & 0xFF] ^
              kSlices[2][(high >> 8) & 0xFF] ^ kSlices[1][(high >> 16) & 0xFF] ^
              kSlices[0][high >> 24];
    }
    for (; i < n; ++i) crc = (crc >> 8) ^ crcTable[(crc ^ raw[i]) & 0xFF];
    return crc;
}

}  // namespace pxr9
