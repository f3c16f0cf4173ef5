// The console updater's commands against the simulated device on the virtual clock.
#include "tools/cli/cli_session.h"

#include <gtest/gtest.h>

#include <sstream>

#include "engine/product_profile.h"
#include "tests/harness/virtual_world.h"

namespace pxr9::tools {
namespace {

using pxr9::testing::VirtualWorld;
using sim::Occurrences;
using sim::RequestKind;

sim::SimConfig instantDevice() {
    sim::SimConfig config;
    config.timing = sim::TimingModel::instant();
    return config;
}

struct CliRun {
    explicit CliRun(sim::SimConfig config = instantDevice(),
                    ResourceLookup lookup = pxr9::findResource)
        : world(std::move(config)),
          surface(out, err, false),
          session(world.platform(), surface, out, err, std::move(lookup)) {}

    int run(std::vector<std::string> args) {
        const CliArgs parsed = parseCliArgs(args);
        EXPECT_TRUE(parsed.command.has_value()) << parsed.error;
        return session.run(*parsed.command);
    }
    // The poll timer runs only while ports are open.
    bool portsClosedAndPollingStopped() {
        return !session.state().out.isOpen() && !session.state().in.isOpen() &&
               !session.state().timer.running();
    }

    VirtualWorld world;
    std::ostringstream out;
    std::ostringstream err;
    ConsoleSurface surface;
    CliSession session;
};

const char* const kMatchingReport =
    "Version Information\nSYSTEM:\t\t1.10 -> 1.10\nPRESET:\t\t1.00\nBOOT:\t\t1.00\n";

TEST(CliSession, UpdateWithVerifySucceedsAndShowsTheReport) {
    CliRun r;
    EXPECT_EQ(r.run({"update", "--verify"}), kExitSuccess);
    EXPECT_NE(r.out.str().find("step 10/10\n"), std::string::npos);
    EXPECT_NE(r.out.str().find("status: Version update completed.\n"), std::string::npos);
    EXPECT_NE(r.out.str().find(kMatchingReport), std::string::npos) << r.out.str();
    EXPECT_EQ(r.err.str(), "");
    EXPECT_TRUE(r.portsClosedAndPollingStopped());
}

TEST(CliSession, VerifyFindsADeviceStampThatDiffersFromTheCarriedOne) {
    // A boot image whose stamp holds a control byte: the device's text of it is "*.**".
    static std::vector<std::uint8_t> boot;
    const auto real = pxr9::findResource(kBootImageId);
    ASSERT_TRUE(real.has_value());
    boot.assign(real->data, real->data + real->size);
    boot[kBootStampOffset + 3] = 0x01;
    CliRun r(instantDevice(), [](std::uint32_t id) -> std::optional<ResourceView> {
        if (id == kBootImageId) return ResourceView{boot.data(), boot.size()};
        return pxr9::findResource(id);
    });

    EXPECT_EQ(r.run({"update", "--verify"}), kExitStampsDiffer);
    EXPECT_NE(r.out.str().find("BOOT:\t\t*.** -> 1.0\x01\n"), std::string::npos) << r.out.str();
}

TEST(CliSession, VersionPrintsTheReportAndClosesThePorts) {
    sim::SimConfig old = instantDevice();
    old.stamps.system = sim::makeStamp("1.00");
    CliRun r(old);
    EXPECT_EQ(r.run({"version"}), kExitSuccess);
    EXPECT_EQ(r.out.str(),
              "Version Information\nSYSTEM:\t\t1.00 -> 1.10\nPRESET:\t\t1.00\nBOOT:\t\t1.00\n");
    EXPECT_TRUE(r.portsClosedAndPollingStopped());
}

struct FailureCase {
    const char* name;
    std::vector<std::string> args;
    std::function<void(VirtualWorld&)> arrange;
    std::string err;
};

void PrintTo(const FailureCase& c, std::ostream* os) {
    *os << c.name;
}

const FailureCase kFailures[] = {
    {"NotInUpdateMode",
     {"update"},
     [](VirtualWorld& w) {
         w.device().faults().refuse(RequestKind::UpdateStart, Occurrences::every(), 11);
     },
     "Error: Please use the firmware update mode.\n"},
    {"UpdateEndNeverAnswered",
     {"update", "--verify"},
     [](VirtualWorld& w) {
         w.device().faults().noAnswer(RequestKind::UpdateEnd, Occurrences::every());
     },
     "Error: Transfer error occurred.\n"},
    {"VersionReadOfBootFails",
     {"version"},
     [](VirtualWorld& w) {
         w.device().faults().noAnswer(RequestKind::MemoryRead, Occurrences::only(3));
     },
     ""},
    {"OutputNumberWithoutADevice",
     {"update", "--out", "5"},
     [](VirtualWorld&) {},
     "Error: Can't open MIDI Out device.\n"},
    {"InputCannotBeOpened",
     {"version"},
     [](VirtualWorld& w) { w.failOpens(false, true); },
     "Error: Can't open MIDI In device.\n"},
    {"NamedInputMissing",
     {"update", "--in", "KEVO PXR-9 (3)"},
     [](VirtualWorld&) {},
     "Error: MIDI IN: no device named \"KEVO PXR-9 (3)\"\n"},
    {"NoDevicePortForThisCopy",
     {"update", "--instance", "2"},
     [](VirtualWorld&) {},
     "Error: Can't open MIDI Out device.\n"},
    {"CopyOneTakesThePlainNameButTheDeviceIsCopyTwos",
     {"version"},
     [](VirtualWorld& w) {
         w.setPorts({"KEVO PXR-9", "KEVO PXR-9 (2)"}, 1);
     },
     "Error: Time out error(1)\n"},
};

class CliFailure : public ::testing::TestWithParam<FailureCase> {};

TEST_P(CliFailure, ExitsWithOneAndNoPortOpen) {
    CliRun r;
    GetParam().arrange(r.world);
    EXPECT_EQ(r.run(GetParam().args), kExitFailure);
    EXPECT_EQ(r.err.str(), GetParam().err);
    EXPECT_EQ(r.out.str().find("Version Information"), std::string::npos);
    EXPECT_TRUE(r.portsClosedAndPollingStopped());
}

INSTANTIATE_TEST_SUITE_P(Runs, CliFailure, ::testing::ValuesIn(kFailures),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(CliSession, CopyTwoFindsItsOwnPortsByName) {
    CliRun r;
    r.world.setPorts({"KEVO PXR-9", "KEVO PXR-9 (2)"}, 1);
    EXPECT_EQ(r.run({"version", "--instance", "2"}), kExitSuccess);
    EXPECT_NE(r.out.str().find("Version Information"), std::string::npos);
}

TEST(CliSession, PortsListsBothDirectionsAndMarksTheAutomaticChoice) {
    CliRun r;
    r.world.setPorts({"USB Audio Device", "Other", "KEVO PXR-9 (2)"}, 2);
    EXPECT_EQ(r.run({"ports", "--instance", "2"}), kExitSuccess);
    EXPECT_EQ(r.out.str(),
              "MIDI IN:\n    0  USB Audio Device\n    1  Other\n  * 2  KEVO PXR-9 (2)\n"
              "MIDI OUT:\n    0  USB Audio Device\n    1  Other\n  * 2  KEVO PXR-9 (2)\n");
}

TEST(CliSession, AbortDuringTheWriteEndsSilentlyWithOneAndClosesThePorts) {
    CliRun r(sim::SimConfig{});  // a device that takes time, so the abort comes mid-write
    r.world.whenHostSends(
        [](const std::vector<std::uint8_t>& m) {
            return m.size() > 4 && m[1] == 0x52 && m[4] == 0x02;
        },
        [&r] { r.session.abort(); });
    EXPECT_EQ(r.run({"update", "--verify"}), kExitFailure);
    EXPECT_TRUE(r.session.aborted());
    EXPECT_EQ(r.err.str(), "");
    EXPECT_EQ(r.out.str().find("Version Information"), std::string::npos);
    EXPECT_EQ(r.out.str().find("progress 100%\nstep 4/10"), std::string::npos);
    EXPECT_TRUE(r.portsClosedAndPollingStopped());
    EXPECT_EQ(r.world.device().counts()[RequestKind::UpdateEnd], 0u);
}

TEST(CliSession, AbortBeforeTheRunStartsNoWorker) {
    CliRun r;
    r.session.abort();
    EXPECT_EQ(r.run({"update"}), kExitFailure);
    EXPECT_EQ(r.world.device().counts().requests(), 0u);
    EXPECT_TRUE(r.portsClosedAndPollingStopped());
}

}  // namespace
}  // namespace pxr9::tools
