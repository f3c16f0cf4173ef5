#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace pxr9 {

// A SysEx data byte carries 7 bits; 8-bit data travels in groups of up to 7 bytes, each
// group preceded by a header byte holding their top bits (0x40 for the first byte ... 0x01
// for the seventh).
constexpr std::size_t packedLength(std::size_t n) {
    return n + (n + 6) / 7;
}

// Writes the packed form of n raw bytes to out; returns its length.
std::size_t packSevenBit(const std::uint8_t* raw, std::size_t n, std::uint8_t* out);

// Reads packedLength(n) bytes and writes exactly n raw bytes to out.
void unpackSevenBit(const std::uint8_t* packed, std::size_t n, std::uint8_t* out);

// Number v in k seven-bit bytes, least significant first.
void putSevenBitField(std::uint8_t* out, std::uint32_t v, int k);
// Reads k seven-bit bytes, least significant first; bits above 32 fall away.
std::uint32_t readSevenBitField(const std::uint8_t* in, int k);

}  // namespace pxr9
