// A whole update against the simulated device, on the virtual clock.
#include <gtest/gtest.h>

#include <map>

#include "engine/product_profile.h"
#include "engine/update_procedure.h"
#include "tests/doubles/engine_harness.h"
#include "tests/engine/flash_expectations.h"

namespace pxr9::testing {
namespace {

sim::SimConfig deviceWithOldBoot(sim::TimingModel timing) {
    sim::SimConfig config;
    config.stamps.boot = sim::makeStamp("0.90");
    config.timing = timing;
    return config;
}

struct TimingCase {
    const char* name;
    sim::TimingModel timing;
};

// Test names carry the case name; this keeps ctest from printing the raw bytes.
void PrintTo(const TimingCase& c, std::ostream* os) {
    *os << c.name;
}

class FullUpdate : public ::testing::TestWithParam<TimingCase> {};

TEST_P(FullUpdate, WritesTheMemoryMapAndReportsCompletion) {
    const sim::SimConfig config = deviceWithOldBoot(GetParam().timing);
    EngineHarness h(config);

    EXPECT_EQ(h.run(runUpdate), ProcedureOutcome::completed());

    EXPECT_TRUE(h.surface.boxes().empty());
    EXPECT_EQ(h.surface.status(), "Version update completed.");
    EXPECT_EQ(h.surface.steps(),
              (std::vector<std::string>{"0/10", "1/10", "2/10", "3/10", "4/10", "5/10", "6/10",
                                        "7/10", "8/10", "9/10", "10/10"}));
    EXPECT_EQ(h.surface.position(), 4096);  // the version block was written last
    EXPECT_EQ(h.surface.rangeUpper(), 4096);
    EXPECT_EQ(firstFlashMismatch(h.world.device().flash(), config, true), "");

    // Blocks per image, by the region they were addressed to.
    std::map<std::uint32_t, int> blocks;
    std::uint32_t lastSystemBlock = 0;
    for (const auto& m : sentWithCommand(h.world.sent(), 0x02)) {
        const std::uint32_t address = blockAddress(m);
        const std::uint32_t region = address >= 0x1CB000   ? 0x1CB000
                                     : address >= 0x110000 ? 0x110000
                                     : address >= 0x071000 ? 0x071000
                                     : address >= 0x04B000 ? 0x04B000
                                                           : 0;
        ++blocks[region];
        if (region == 0x071000) lastSystemBlock = blockLength(m);
    }
    EXPECT_EQ(
        blocks,
        (std::map<std::uint32_t, int>{
            {0x000000, 75}, {0x04B000, 38}, {0x071000, 138}, {0x110000, 1}, {0x1CB000, 3637}}));
    EXPECT_EQ(lastSystemBlock, 336u);
}

INSTANTIATE_TEST_SUITE_P(Timing, FullUpdate,
                         ::testing::Values(TimingCase{"Instant", sim::TimingModel::instant()},
                                           TimingCase{"RealisticDevice", sim::TimingModel{}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(FullUpdate, StatusLineShowsTheOffsetOfTheBlockBeingSent) {
    EngineHarness h(deviceWithOldBoot(sim::TimingModel::instant()));
    h.run(runUpdate);
    const auto calls = h.surface.calls();
    auto has = [&](const std::string& call) {
        return std::find(calls.begin(), calls.end(), call) != calls.end();
    };
    EXPECT_TRUE(has("status:Data transmit  0 / 561488 "));
    EXPECT_TRUE(has("status:Data transmit  561152 / 561488 "));
    EXPECT_FALSE(has("status:Data transmit  561488 / 561488 "));
    EXPECT_TRUE(has("range:0..10"));
    EXPECT_TRUE(has("range:0..561488"));
}

TEST(FullUpdate, EqualBootStampsSkipTheBootStepsButNotTheirCounter) {
    const sim::SimConfig config;  // the device already holds boot stamp "1.00"
    EngineHarness h(config);

    EXPECT_EQ(h.run(runUpdate), ProcedureOutcome::completed());

    EXPECT_TRUE(h.surface.boxes().empty());
    const auto steps = h.surface.steps();
    EXPECT_NE(std::find(steps.begin(), steps.end(), "4/10"), steps.end());
    EXPECT_NE(std::find(steps.begin(), steps.end(), "5/10"), steps.end());
    for (const auto& m : h.world.sent()) {
        if (m.bytes.size() > 9 && (m.bytes[4] == 0x0A || m.bytes[4] == 0x02)) {
            EXPECT_NE(blockAddress(m), 0u) << "a boot-region request was sent";
        }
    }
    EXPECT_EQ(firstFlashMismatch(h.world.device().flash(), config, false), "");
}

TEST(FullUpdate, AcceptedDeviceIdentityGoesIntoTheHostsIdentityReply) {
    EngineHarness h;
    EXPECT_EQ(h.state.link.hostIdentity.load(), 0u);
    h.run(runUpdate);
    EXPECT_EQ(h.state.link.hostIdentity.load(), 0x0010006Eu);
    EXPECT_EQ(h.state.link.modelId(), 0x6E);
}

}  // namespace
}  // namespace pxr9::testing
