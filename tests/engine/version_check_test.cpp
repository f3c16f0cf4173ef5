// The version check against the simulated device, and the report it leads to.
#include "engine/version_check.h"

#include <gtest/gtest.h>

#include <functional>

#include "engine/product_profile.h"
#include "engine/reply_wait.h"
#include "engine/version_report.h"
#include "engine/version_text.h"
#include "tests/doubles/engine_harness.h"

namespace pxr9::testing {
namespace {

using sim::Occurrences;
using sim::RequestKind;

sim::SimConfig deviceWith(sim::VersionStamp system, sim::VersionStamp preset,
                          sim::VersionStamp boot) {
    sim::SimConfig config;
    config.stamps = {boot, preset, system};
    config.timing = sim::TimingModel::instant();
    return config;
}

ResourceLookup without(std::uint32_t missingId) {
    return [missingId](std::uint32_t id) -> std::optional<ResourceView> {
        if (id == missingId) return std::nullopt;
        return findResource(id);
    };
}

struct ReportCase {
    const char* name;
    sim::SimConfig device;
    ResourceLookup lookup;
    std::string report;
};

// Test names carry the case name; this keeps ctest from printing the raw bytes.
void PrintTo(const ReportCase& c, std::ostream* os) {
    *os << c.name;
}

const sim::VersionStamp k110 = sim::makeStamp("1.10");
const sim::VersionStamp k100 = sim::makeStamp("1.00");

class VersionReport : public ::testing::TestWithParam<ReportCase> {};

TEST_P(VersionReport, ShowsDeviceStampsBesideTheCarriedOnes) {
    const ReportCase& c = GetParam();
    EngineHarness h(c.device, c.lookup);

    // The report is the front end's to show, once the check has ended.
    EXPECT_EQ(h.run(runVersionCheck), ProcedureOutcome::completed());
    EXPECT_TRUE(h.surface.boxes().empty());
    EXPECT_EQ(buildVersionReport(h.state), c.report);
    EXPECT_FALSE(h.state.channel.out.isOpen());
    EXPECT_FALSE(h.state.channel.in.isOpen());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, VersionReport,
    ::testing::Values(
        ReportCase{"AllEqual", deviceWith(k110, k100, k100), findResource,
                   "SYSTEM:\t\t1.10 -> 1.10\nPRESET:\t\t1.00\nBOOT:\t\t1.00"},
        ReportCase{"OlderSystem", deviceWith(k100, k100, k100), findResource,
                   "SYSTEM:\t\t1.00 -> 1.10\nPRESET:\t\t1.00\nBOOT:\t\t1.00"},
        ReportCase{"ErasedPresetStamp", deviceWith(k110, {0xFF, 0xFF, 0xFF, 0xFF}, k100),
                   findResource, "SYSTEM:\t\t1.10 -> 1.10\nPRESET:\t\t*.** -> 1.00\nBOOT:\t\t1.00"},
        ReportCase{"ZeroByteInBootStamp", deviceWith(k110, k100, {'1', 0x00, '0', '0'}),
                   findResource, "SYSTEM:\t\t1.10 -> 1.10\nPRESET:\t\t1.00\nBOOT:\t\t*.** -> 1.00"},
        ReportCase{"ErasedVersionBlock", deviceWith({0xFF, 0xFF, 0xFF, 0xFF}, k100, k100),
                   findResource, "SYSTEM:\t\t*.** -> 1.10\nPRESET:\t\t1.00\nBOOT:\t\t1.00"},
        ReportCase{"MissingPresetImage", deviceWith(k110, sim::makeStamp("0.90"), k100),
                   without(kPresetImageId),
                   "SYSTEM:\t\t1.10 -> 1.10\nPRESET:\t\t0.90\nBOOT:\t\t1.00"},
        ReportCase{"MissingVersionBlockImage", deviceWith(k110, k100, k100),
                   without(kVersionBlockImageId),
                   "SYSTEM:\t\t1.10 -> \nPRESET:\t\t1.00\nBOOT:\t\t1.00"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(VersionCheck, UnansweredPresetReadKeepsTheTextsOfTheLastCheck) {
    EngineHarness h(deviceWith(k110, sim::makeStamp("0.90"), k100));
    ASSERT_EQ(h.run(runVersionCheck), ProcedureOutcome::completed());

    // Second check: the PRESET read (the second read of the check) goes unanswered.
    h.world.device().faults().noAnswer(RequestKind::MemoryRead, Occurrences::only(5));
    ASSERT_FALSE(h.session.openPorts(0, 0));
    const std::uint64_t start = h.world.nowMs();
    EXPECT_EQ(h.run(runVersionCheck), ProcedureOutcome::completed());
    EXPECT_TRUE(h.surface.boxes().empty());
    // The PRESET wait; the barrier before the BOOT read is answered at once.
    EXPECT_EQ(h.world.nowMs() - start, 120000u);
    EXPECT_EQ(buildVersionReport(h.state),
              "SYSTEM:\t\t1.10 -> 1.10\nPRESET:\t\t0.90 -> 1.00\nBOOT:\t\t1.00");
}

TEST(VersionCheck, FirstCheckWithUnansweredPresetReadShowsAnEmptyPresetLine) {
    EngineHarness h(deviceWith(k110, k100, k100));
    h.world.device().faults().noAnswer(RequestKind::MemoryRead, Occurrences::only(2));
    EXPECT_EQ(h.run(runVersionCheck), ProcedureOutcome::completed());
    EXPECT_EQ(buildVersionReport(h.state), "SYSTEM:\t\t1.10 -> 1.10\nPRESET:\t\t\nBOOT:\t\t1.00");
}

// The PRESET read is answered 120.5 s after the request, half a second after its wait ran
// out. Taken for the BOOT read, that answer would show the preset stamp as the boot stamp:
// "BOOT: 1.00" with no arrow, on a device whose boot firmware is older.
TEST(VersionCheck, ALatePresetAnswerIsNeverReadAsTheBootStamp) {
    EngineHarness h(deviceWith(k110, k100, sim::makeStamp("0.90")));
    h.world.device().faults().late(RequestKind::MemoryRead, Occurrences::only(2), 120500);

    EXPECT_EQ(h.run(runVersionCheck), ProcedureOutcome::completed());
    EXPECT_EQ(buildVersionReport(h.state),
              "SYSTEM:\t\t1.10 -> 1.10\nPRESET:\t\t\nBOOT:\t\t0.90 -> 1.00");
}

struct FailedCheckCase {
    const char* name;
    std::function<void(EngineHarness&)> arrange;
    std::vector<std::string> boxes;
    FailureKind failure;
};

// Test names carry the case name; this keeps ctest from printing the raw bytes.
void PrintTo(const FailedCheckCase& c, std::ostream* os) {
    *os << c.name;
}

class FailedVersionCheck : public ::testing::TestWithParam<FailedCheckCase> {};

// Whatever fails, both ports are closed by the time the caller learns of it, and it learns
// which box was shown, if any, and why the check failed.
TEST_P(FailedVersionCheck, ClosesThePortsAndTellsTheCallerWhy) {
    const FailedCheckCase& c = GetParam();
    EngineHarness h(deviceWith(k110, k100, k100));
    c.arrange(h);

    const ProcedureOutcome outcome = h.run(runVersionCheck);

    EXPECT_EQ(h.surface.boxes(), c.boxes);
    const std::string shown = c.boxes.empty() ? "" : c.boxes.front().substr(6);
    EXPECT_EQ(outcome, ProcedureOutcome::failed(c.failure, shown));
    EXPECT_FALSE(h.state.channel.out.isOpen());
    EXPECT_FALSE(h.state.channel.in.isOpen());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FailedVersionCheck,
    ::testing::Values(FailedCheckCase{"IdentityNotAnswered",
                                      [](EngineHarness& h) {
                                          h.world.device().faults().noAnswer(
                                              RequestKind::IdentityRequest, Occurrences::every());
                                      },
                                      {"error:Time out error(1)"},
                                      FailureKind::Timeout},
                      FailedCheckCase{"IllegalDevice",
                                      [](EngineHarness& h) {
                                          h.world.device().faults().reportIdentity(
                                              Occurrences::every(), 0x1234);
                                      },
                                      {"error:Illegal device connected."},
                                      FailureKind::WrongDevice},
                      FailedCheckCase{"IdentityRequestCannotBeSent",
                                      [](EngineHarness& h) { h.state.channel.out.close(); },
                                      {"error:Can't open MIDI Out device."},
                                      FailureKind::Port},
                      FailedCheckCase{"SystemReadNotAnswered",
                                      [](EngineHarness& h) {
                                          h.world.device().faults().noAnswer(
                                              RequestKind::MemoryRead, Occurrences::only(1));
                                      },
                                      {},
                                      FailureKind::Timeout},
                      FailedCheckCase{"BootReadNotAnswered",
                                      [](EngineHarness& h) {
                                          h.world.device().faults().noAnswer(
                                              RequestKind::MemoryRead, Occurrences::only(3));
                                      },
                                      {},
                                      FailureKind::Timeout},
                      // Not a Read Data: no stale stamp may be shown.
                      FailedCheckCase{"SystemReadWithWrongByte5",
                                      [](EngineHarness& h) {
                                          h.world.device().faults().wrongReadByte5(
                                              Occurrences::only(1), 0x05);
                                      },
                                      {},
                                      FailureKind::Refused},
                      FailedCheckCase{"BootReadWithWrongByte6",
                                      [](EngineHarness& h) {
                                          h.world.device().faults().wrongReadByte6(
                                              Occurrences::only(3), 0x31);
                                      },
                                      {},
                                      FailureKind::Refused}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(VersionCheck, DoesNotWriteTheHostsIdentityReply) {
    EngineHarness h;
    h.run(runVersionCheck);
    EXPECT_EQ(h.state.link.currentIdentity.load(), 0x0010006Eu);
    EXPECT_EQ(h.state.link.hostIdentity.load(), 0u);
}

TEST(SanitiseVersionText, ReplacesATextWithAnyUnprintableByte) {
    struct Case {
        VersionText in;
        std::string out;
    };
    const Case cases[] = {
        {{'1', '.', '1', '0', 0}, "1.10"},  {{' ', '~', 'a', 'Z', 0}, " ~aZ"},
        {{'1', '.', '1', 0x7F, 0}, "*.**"}, {{0x1F, '.', '1', '0', 0}, "*.**"},
        {{'1', 0, '1', '0', 0}, "*.**"},    {{'\xFF', '\xFF', '\xFF', '\xFF', 0}, "*.**"},
    };
    for (const auto& c : cases) {
        VersionText text = c.in;
        sanitiseVersionText(text);
        EXPECT_EQ(std::string(text.data()), c.out);
    }
}

}  // namespace
}  // namespace pxr9::testing
