#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "protocol/crc32.h"
#include "protocol/seven_bit.h"
#include "tests/doubles/link_fixture.h"

namespace pxr9::testing {
namespace {

constexpr std::uint8_t kGuard = 0xEE;

struct PackCase {
    const char* name;
    Bytes raw;
    Bytes packed;
    std::uint32_t crc;
    Bytes crcField;
};

const std::vector<PackCase>& packCases() {
    static const std::vector<PackCase> cases = {
        {"nothing", {}, {}, 0xFFFFFFFFu, {0x7F, 0x7F, 0x7F, 0x7F, 0x0F}},
        {"abc",
         {0x61, 0x62, 0x63},
         {0x00, 0x61, 0x62, 0x63},
         0xCADBBE3Du,
         {0x3D, 0x7C, 0x6E, 0x56, 0x0C}},
        // First header carries 0x40, 0x10 and 0x01; the second group holds one byte.
        {"eight bytes with top bits",
         {0x80, 0x01, 0xFF, 0x00, 0x00, 0x00, 0x81, 0xC0},
         {0x51, 0x00, 0x01, 0x7F, 0x00, 0x00, 0x00, 0x01, 0x40, 0x40},
         0x32A96E8Eu,
         {0x0E, 0x5D, 0x25, 0x15, 0x03}},
        {"version text 1.10",
         {0x31, 0x2E, 0x31, 0x30},
         {0x00, 0x31, 0x2E, 0x31, 0x30},
         0x447BE3D3u,
         {0x53, 0x47, 0x6F, 0x23, 0x04}},
        {"digits 1 to 9",
         {0x31, 0x32, 0x33, 0x34, 0x35, 0x36, 0x37, 0x38, 0x39},
         {0x00, 0x31, 0x32, 0x33, 0x34, 0x35, 0x36, 0x37, 0x00, 0x38, 0x39},
         0x340BC6D9u,
         {0x59, 0x0D, 0x2F, 0x20, 0x03}},
    };
    return cases;
}

TEST(SevenBitAndCrc, KnownVectorsByteForByte) {
    for (const PackCase& c : packCases()) {
        SCOPED_TRACE(c.name);
        Bytes packed(c.packed.size() + 4, kGuard);
        ASSERT_EQ(packSevenBit(c.raw.data(), c.raw.size(), packed.data()), c.packed.size());
        EXPECT_EQ(Bytes(packed.begin(), packed.begin() + c.packed.size()), c.packed);
        EXPECT_TRUE(std::all_of(packed.begin() + c.packed.size(), packed.end(), [](std::uint8_t b) {
            return b == kGuard;
        })) << "packing wrote past its length";

        Bytes raw(c.raw.size() + 4, kGuard);
        unpackSevenBit(c.packed.data(), c.raw.size(), raw.data());
        EXPECT_EQ(Bytes(raw.begin(), raw.begin() + c.raw.size()), c.raw);

        EXPECT_EQ(sysexCrc32(c.raw.data(), c.raw.size()), c.crc);
        Bytes field(kCrcFieldLength);
        putSevenBitField(field.data(), c.crc, kCrcFieldLength);
        EXPECT_EQ(field, c.crcField) << hex(field);
        EXPECT_EQ(readSevenBitField(c.crcField.data(), kCrcFieldLength), c.crc);
    }
}

TEST(SevenBitAndCrc, TableIsTheReflectedPolynomial) {
    EXPECT_EQ(crcTable[0], 0x00000000u);
    EXPECT_EQ(crcTable[1], 0x77073096u);
    EXPECT_EQ(crcTable[2], 0xEE0E612Cu);
    EXPECT_EQ(crcTable[3], 0x990951BAu);
    EXPECT_EQ(crcTable[128], 0xEDB88320u);
}

// The CRC is defined one byte at a time; the fast form must agree at every length and
// every alignment of its eight-byte steps.
TEST(SevenBitAndCrc, CrcAgreesWithTheBytewiseDefinition) {
    std::mt19937 random(314);
    Bytes raw(4096 + 16);
    for (auto& b : raw) b = static_cast<std::uint8_t>(random());
    auto bytewise = [](const std::uint8_t* p, std::size_t n) {
        std::uint32_t crc = 0xFFFFFFFFu;
        for (std::size_t i = 0; i < n; ++i) crc = (crc >> 8) ^ crcTable[(crc ^ p[i]) & 0xFF];
        return crc;
    };
    std::vector<std::size_t> sizes;
    for (std::size_t n = 0; n <= 40; ++n) sizes.push_back(n);
    sizes.push_back(4095);
    sizes.push_back(4096);
    for (std::size_t offset = 0; offset < 8; ++offset) {
        for (std::size_t n : sizes) {
            ASSERT_EQ(sysexCrc32(raw.data() + offset, n), bytewise(raw.data() + offset, n))
                << "n = " << n << ", offset " << offset;
        }
    }
}

TEST(SevenBitAndCrc, PackedLengths) {
    const std::pair<std::size_t, std::size_t> cases[] = {
        {0, 0}, {1, 2}, {6, 7}, {7, 8}, {8, 10}, {13, 15}, {14, 16}, {4096, 4682}, {16383, 18724},
    };
    for (const auto& [n, p] : cases) {
        SCOPED_TRACE(n);
        EXPECT_EQ(packedLength(n), p);
        const Bytes raw(n, 0xA5);
        Bytes packed(p + 1);
        EXPECT_EQ(packSevenBit(raw.data(), n, packed.data()), p);
    }
}

// Every remainder of n mod 7 and several whole groups, then the two largest sizes in use.
TEST(SevenBitAndCrc, RoundTripKeepsEveryByteAndWritesNothingMore) {
    std::vector<std::size_t> sizes;
    for (std::size_t n = 0; n <= 64; ++n) sizes.push_back(n);
    sizes.push_back(4096);
    sizes.push_back(16383);

    std::mt19937 random(20240611);
    for (std::size_t n : sizes) {
        SCOPED_TRACE(n);
        Bytes raw(n);
        for (auto& b : raw) b = static_cast<std::uint8_t>(random());

        const std::size_t p = packedLength(n);
        Bytes packed(p + 8, kGuard);
        ASSERT_EQ(packSevenBit(raw.data(), n, packed.data()), p);
        EXPECT_TRUE(std::all_of(packed.begin(), packed.begin() + p, [](std::uint8_t b) {
            return b < 0x80;
        })) << "a packed byte is not a SysEx data byte";
        EXPECT_TRUE(std::all_of(packed.begin() + p, packed.end(),
                                [](std::uint8_t b) { return b == kGuard; }));

        Bytes unpacked(n + 8, kGuard);
        unpackSevenBit(packed.data(), n, unpacked.data());
        EXPECT_EQ(Bytes(unpacked.begin(), unpacked.begin() + n), raw);
        EXPECT_TRUE(std::all_of(unpacked.begin() + n, unpacked.end(), [](std::uint8_t b) {
            return b == kGuard;
        })) << "unpacking wrote past n bytes";
        EXPECT_EQ(sysexCrc32(unpacked.data(), n), sysexCrc32(raw.data(), n));
    }
}

// A last group of six data bytes yields six bytes; the seventh place is left alone.
TEST(SevenBitAndCrc, UnpackOfSixBytesLeavesTheNextByte) {
    const Bytes packed = {0x7E, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06};
    Bytes out(8, kGuard);
    unpackSevenBit(packed.data(), 6, out.data());
    EXPECT_EQ(out, (Bytes{0x81, 0x82, 0x83, 0x84, 0x85, 0x86, kGuard, kGuard}));
}

// Received bytes are taken as they arrive: the header decides only bits it owns.
TEST(SevenBitAndCrc, UnpackTakesDataBytesAsTheyArrive) {
    const struct {
        const char* name;
        Bytes packed;
        Bytes raw;
    } cases[] = {
        {"header bit 7 ignored", {0x80, 0x05}, {0x05}},
        {"data bit 7 kept", {0x00, 0x85}, {0x85}},
        {"header bit of a missing byte ignored", {0x7F, 0x01, 0x02}, {0x81, 0x82}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes out(c.raw.size() + 1, kGuard);
        unpackSevenBit(c.packed.data(), c.raw.size(), out.data());
        Bytes expected = c.raw;
        expected.push_back(kGuard);
        EXPECT_EQ(out, expected);
    }
}

// Bits above the 32 of the CRC fall away, and so do the top bits of the first four bytes.
TEST(SevenBitAndCrc, ReceivedCrcFieldIsReadInThirtyTwoBits) {
    const struct {
        Bytes field;
        std::uint32_t value;
    } cases[] = {
        {{0x3D, 0x7C, 0x6E, 0x56, 0x0C}, 0xCADBBE3Du},
        {{0x3D, 0x7C, 0x6E, 0x56, 0x1C}, 0xCADBBE3Du},
        {{0x3D, 0x7C, 0x6E, 0x56, 0x7C}, 0xCADBBE3Du},
        {{0x3D, 0x7C, 0x6E, 0x56, 0xFC}, 0xCADBBE3Du},
        {{0xBD, 0xFC, 0xEE, 0xD6, 0x0C}, 0xCADBBE3Du},
        {{0x7F, 0x7F, 0x7F, 0x7F, 0x7F}, 0xFFFFFFFFu},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(hex(c.field));
        EXPECT_EQ(readSevenBitField(c.field.data(), kCrcFieldLength), c.value);
    }
}

}  // namespace
}  // namespace pxr9::testing
