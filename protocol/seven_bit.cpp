#include "protocol/seven_bit.h"

namespace pxr9 {

std::size_t packSevenBit(const std::uint8_t* raw, std::size_t n, std::uint8_t* out) {
    std::size_t pos = 0;
    for (std::size_t start = 0; start < n; start += 7) {
        const std::size_t k = n - start < 7 ? n - start : 7;
        std::uint8_t header = 0;
        std::uint8_t mask = 0x40;
        for (std::size_t i = 0; i < k; ++i, mask >>= 1) {
            const std::uint8_t b = raw[start + i];
            if (b & 0x80) header |= mask;
            out[pos + 1 + i] = b & 0x7F;
        }
        out[pos] = header;
        pos += 1 + k;
    }
    return pos;
}

void unpackSevenBit(const std::uint8_t* packed, std::size_t n, std::uint8_t* out) {
    const std::size_t p = packedLength(n);
    for (std::size_t s = 0; s < p; s += 8, out += 7) {
        const std::uint8_t header = packed[s];
        const std::size_t k = s + 8 <= p ? 7 : p - s - 1;
        std::uint8_t mask = 0x40;
        for (std::size_t i = 0; i < k; ++i, mask >>= 1) {
            // Data bytes are taken as they arrive; only the header decides bit 7.
            out[i] = (header & mask) ? packed[s + 1 + i] | 0x80 : packed[s + 1 + i];
        }
    }
}

void putSevenBitField(std::uint8_t* out, std::uint32_t v, int k) {
    for (int i = 0; i < k; ++i) out[i] = static_cast<std::uint8_t>((v >> (7 * i)) & 0x7F);
}

std::uint32_t readSevenBitField(const std::uint8_t* in, int k) {
    std::uint32_t v = 0;
    for (int i = 0; i < k; ++i) {
        const int shift = 7 * i;
        const std::uint32_t part = i < 4 ? (in[i] & 0x7Fu) : in[i];
        if (shift < 32) v += part << shift;
    }
    return v;
}

}  // namespace pxr9
