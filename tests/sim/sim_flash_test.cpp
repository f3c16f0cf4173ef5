#include <gtest/gtest.h>

#include <algorithm>

#include "sim/flash_contents.h"
#include "sim/sim_device.h"

namespace pxr9::testing {
namespace {

using namespace pxr9::sim;

TEST(SimFlash, StartsAsOldFirmwareWithTheStampsInPlace) {
    SimConfig config;
    config.stamps = {makeStamp("0.90"), makeStamp("0.91"), makeStamp("0.92")};
    const SimDevice device(config);
    const auto flash = device.flash();
    ASSERT_EQ(flash.size(), 0x1000000u);
    EXPECT_TRUE(std::equal(flash.begin() + 0x04AFFC, flash.begin() + 0x04B000, "0.90"));
    EXPECT_TRUE(std::equal(flash.begin() + 0x070FFC, flash.begin() + 0x071000, "0.91"));
    EXPECT_TRUE(std::equal(flash.begin() + 0x110FE0, flash.begin() + 0x110FE4, "0.92"));

    // The per-address helper and the whole-image helper agree with the device everywhere.
    const std::vector<std::uint8_t> image = makeInitialFlash(config);
    EXPECT_TRUE(std::equal(image.begin(), image.end(), flash.begin()));
    std::size_t mismatches = 0;
    for (std::uint32_t a = 0; a < 0x1000000; ++a)
        mismatches += flash[a] != initialFlashByte(config, a);
    EXPECT_EQ(mismatches, 0u);
}

TEST(SimFlash, OldFirmwareNeverLooksErasedAndVariesWithTheSeed) {
    const std::vector<std::uint8_t> a = makeInitialFlash(SimConfig{});
    EXPECT_EQ(std::count(a.begin(), a.end(), std::uint8_t{0xFF}), 0);
    // Not a constant fill: every byte value but 0xFF shows up in the gap region.
    std::array<bool, 256> seen{};
    for (std::uint32_t addr = 0x111000; addr < 0x1CB000; ++addr) seen[a[addr]] = true;
    EXPECT_EQ(std::count(seen.begin(), seen.end(), true), 255);

    SimConfig other;
    other.flashSeed = 1;
    const std::vector<std::uint8_t> b = makeInitialFlash(other);
    std::size_t same = 0;
    for (std::uint32_t addr = 0x111000; addr < 0x1CB000; ++addr) same += a[addr] == b[addr];
    EXPECT_LT(same, (0x1CB000u - 0x111000u) / 100);  // about 1 in 255 by chance
    EXPECT_EQ(makeInitialFlash(other), b);
}

}  // namespace
}  // namespace pxr9::testing
