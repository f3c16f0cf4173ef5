// The simulated device's JSON report after runs of the real update on the virtual clock.
#include "tools/sim/sim_report.h"

#include <gtest/gtest.h>

#include <string>

#include "engine/update_procedure.h"
#include "sim/flash_layout.h"
#include "tests/doubles/engine_harness.h"
#include "tools/sim/sha256.h"

namespace pxr9::testing {
namespace {

using namespace pxr9::tools;

// Named constant: clang 14 rejects a consteval call as a default argument.
constexpr sim::VersionStamp kBoot100 = sim::makeStamp("1.00");

sim::SimConfig instantDevice(sim::VersionStamp boot = kBoot100) {
    sim::SimConfig config;
    config.stamps.boot = boot;
    config.timing = sim::TimingModel::instant();
    return config;
}

std::string report(EngineHarness& h) {
    return buildSimReport(h.world.device(), "KEVO PXR-9", pxr9::findResource);
}

// The "matchesUpdate" of one region, read from its line of the report.
std::string matchOf(const std::string& json, const std::string& region) {
    const std::size_t line = json.find("\"" + region + "\": {\"start\"");
    if (line == std::string::npos) return "missing";
    const std::size_t key = json.find("\"matchesUpdate\": ", line);
    const std::size_t end = json.find('}', key);
    return json.substr(key + 17, end - key - 17);
}

std::string matches(const std::string& json) {
    std::string all;
    for (const FlashRegion& r : flashRegions())
        all += std::string(r.name) + "=" + matchOf(json, r.name) + " ";
    return all;
}

TEST(SimReport, AfterACompleteUpdateEveryRegionMatches) {
    EngineHarness h(instantDevice());
    ASSERT_EQ(h.run(runUpdate), ProcedureOutcome::completed());
    const std::string json = report(h);

    EXPECT_EQ(matches(json), "boot=true preset=true system=true version=true gap=true upper=true ");
    EXPECT_NE(json.find("\"boot\": \"1.00\",\n    \"preset\": \"1.00\",\n    \"system\": \"1.10\""),
              std::string::npos)
        << json;
    // One identity check, the boot stamp read, four erases (the boot is skipped) and every block.
    EXPECT_NE(json.find("\"requests\": {\"identity\": 1, \"update-start\": 1, \"flash-erase\": 4, "
                        "\"write-block\": 3814, \"memory-read\": 1, \"update-end\": 1, "
                        "\"ignored\": 0}"),
              std::string::npos)
        << json;
}

TEST(SimReport, BootRegionMustHoldTheImageWhenTheDeviceStartedWithAnotherBootStamp) {
    EngineHarness fresh(instantDevice(sim::makeStamp("0.90")));
    EXPECT_EQ(matches(report(fresh)),
              "boot=false preset=false system=false version=false gap=true upper=false ");

    EngineHarness h(instantDevice(sim::makeStamp("0.90")));
    ASSERT_EQ(h.run(runUpdate), ProcedureOutcome::completed());
    EXPECT_EQ(matches(report(h)),
              "boot=true preset=true system=true version=true gap=true upper=true ");
}

TEST(SimReport, InterruptedUpdateShowsTheErasedVersionBlockEscaped) {
    EngineHarness h(instantDevice());
    h.world.device().faults().silent(sim::RequestKind::WriteBlock, sim::Occurrences::from(100));
    ASSERT_EQ(h.run(runUpdate),
              ProcedureOutcome::failed(FailureKind::Timeout, "Time out error(2)"));
    ASSERT_EQ(h.surface.status().rfind("Data transmit", 0), 0u);  // stopped in a write step
    const std::string json = report(h);

    EXPECT_NE(json.find("\"system\": \"\\\\xFF\\\\xFF\\\\xFF\\\\xFF\""), std::string::npos) << json;
    EXPECT_EQ(matchOf(json, "version"), "false");
    EXPECT_EQ(matchOf(json, "upper"), "false");
    EXPECT_EQ(matchOf(json, "gap"), "true");
    EXPECT_NE(json.find("\"silent\": true"), std::string::npos);
}

TEST(SimReport, RegionsCoverTheMemoryMapWithoutOverlap) {
    std::uint32_t next = 0;
    for (const FlashRegion& r : flashRegions()) {
        EXPECT_EQ(r.start, next) << r.name;
        next = r.start + r.size;
    }
    EXPECT_EQ(next, sim::kFlashSize);
}

TEST(SimReport, SystemRegionMustEndErasedAfterItsImage) {
    const FlashRegion& system = flashRegions()[2];
    ASSERT_STREQ(system.name, "system");
    const auto image = pxr9::findResource(129);
    ASSERT_TRUE(image.has_value());
    std::vector<std::uint8_t> expected(image->data, image->data + image->size);
    expected.resize(system.size, 0xFF);
    EXPECT_EQ(expectedRegionHash(system, sim::SimConfig{}, pxr9::findResource),
              toHex(sha256(expected)));
}

TEST(SimReport, MissingImageHasNoExpectedHash) {
    EngineHarness h(instantDevice());
    const std::string json = buildSimReport(h.world.device(), "KEVO PXR-9",
                                            [](std::uint32_t id) -> std::optional<ResourceView> {
                                                if (id == 136) return std::nullopt;
                                                return pxr9::findResource(id);
                                            });
    EXPECT_NE(json.find("\"expectedSha256\": null, \"matchesUpdate\": false}"), std::string::npos);
}

}  // namespace
}  // namespace pxr9::testing
