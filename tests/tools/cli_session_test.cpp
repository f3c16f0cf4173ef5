// The console updater's commands against the simulated device on the virtual clock.
#include "tools/cli/cli_session.h"

#include <gtest/gtest.h>

#include <sstream>
#include <thread>

#include "engine/product_profile.h"
#include "tests/doubles/fake_output_backend.h"
#include "tests/doubles/virtual_world.h"
#include "tests/tools/json_reader.h"

namespace pxr9::testing {
namespace {

using namespace pxr9::tools;

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
    // Replies are dispatched only while ports are open.
    bool portsClosedAndDispatchStopped() {
        return !session.state().channel.out.isOpen() && !session.state().channel.in.isOpen() &&
               !session.state().channel.dispatcher.running();
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
    EXPECT_TRUE(r.portsClosedAndDispatchStopped());
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
    EXPECT_TRUE(r.portsClosedAndDispatchStopped());
}

struct FailureCase {
    const char* name;
    std::vector<std::string> args;
    std::function<void(VirtualWorld&)> arrange;
    std::string err;
    FailureKind failure;
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
     "Error: Please use the firmware update mode.\n",
     FailureKind::NotInUpdateMode},
    {"UpdateEndNeverAnswered",
     {"update", "--verify"},
     [](VirtualWorld& w) {
         w.device().faults().noAnswer(RequestKind::UpdateEnd, Occurrences::every());
     },
     "Error: Transfer error occurred.\n",
     FailureKind::Timeout},
    {"VersionReadOfBootFails",
     {"version"},
     [](VirtualWorld& w) {
         w.device().faults().noAnswer(RequestKind::MemoryRead, Occurrences::only(3));
     },
     "",
     FailureKind::Timeout},
    {"InputCannotBeOpened",
     {"version"},
     [](VirtualWorld& w) { w.failOpens(false, true); },
     "Error: Can't open MIDI In device.\n",
     FailureKind::Port},
    {"NamedInputMissing",
     {"update", "--in", "KEVO PXR-9 (3)"},
     [](VirtualWorld&) {},
     "Error: MIDI IN: no device named \"KEVO PXR-9 (3)\"\nMIDI IN ports:\n    0  KEVO PXR-9\n",
     FailureKind::Port},
    {"NoDevicePortForThisCopy",
     {"update", "--instance", "2"},
     [](VirtualWorld&) {},
     "Error: Can't open MIDI Out device.\n"
     "MIDI OUT: looked for a port named \"USB オーディオ デバイス (2)\", \"USB Audio Device (2)\", "
     "\"KEVO RN Series (2)\", \"KEVO PXR-9 MIDI (2)\", \"KEVO PXR-9 (2)\" or "
     "\"KEVO T Series (2)\" (copy 2); none is there\n"
     "MIDI OUT ports:\n    0  KEVO PXR-9\n",
     FailureKind::Port},
    {"NoPortsAtAll",
     {"version"},
     [](VirtualWorld& w) { w.setPorts({}, -1); },
     "Error: Can't open MIDI Out device.\n"
     "MIDI OUT: looked for a port named \"USB オーディオ デバイス\", \"USB Audio Device\", "
     "\"KEVO RN Series\", \"KEVO PXR-9 MIDI\", \"KEVO PXR-9\" or \"KEVO T Series\" (copy 1); "
     "none is there\nMIDI OUT ports: none\n",
     FailureKind::Port},
    {"OnlyTheInputIsLeftWithoutAPort",
     {"update", "--out", "0"},
     [](VirtualWorld& w) {
         w.setPorts({"Other", "Else"}, 0);
     },
     "Error: Can't open MIDI In device.\n"
     "MIDI IN: looked for a port named \"USB オーディオ デバイス\", \"USB Audio Device\", "
     "\"KEVO RN Series\", \"KEVO PXR-9 MIDI\", \"KEVO PXR-9\" or \"KEVO T Series\" (copy 1); "
     "none is there\nMIDI IN ports:\n    0  Other\n    1  Else\n",
     FailureKind::Port},
};

class CliFailure : public ::testing::TestWithParam<FailureCase> {};

TEST_P(CliFailure, ExitsWithOneAndNoPortOpen) {
    CliRun r;
    GetParam().arrange(r.world);
    EXPECT_EQ(r.run(GetParam().args), kExitFailure);
    EXPECT_EQ(r.err.str(), GetParam().err);
    EXPECT_EQ(r.session.result().failure, GetParam().failure);
    EXPECT_EQ(r.out.str().find("Version Information"), std::string::npos);
    EXPECT_TRUE(r.portsClosedAndDispatchStopped());
}

INSTANTIATE_TEST_SUITE_P(Runs, CliFailure, ::testing::ValuesIn(kFailures),
                         [](const auto& info) { return std::string(info.param.name); });

struct UsageCase {
    std::vector<std::string> args;
    std::vector<std::string> ports;
    std::string err;
};

TEST(CliSession, APortNumberBeyondTheLastIsAUsageErrorNamingTheRange) {
    const UsageCase cases[] = {
        {{"update", "--out", "5"},
         {"KEVO PXR-9"},
         "Error: --out 5 is out of range: the MIDI OUT ports are numbered 0 to 0\n"},
        {{"version", "--in", "3", "--out", "0"},
         {"A", "B", "KEVO PXR-9"},
         "Error: --in 3 is out of range: the MIDI IN ports are numbered 0 to 2\n"},
        {{"update", "--in", "7"}, {}, "Error: --in 7 is out of range: there is no MIDI IN port\n"},
        // Both wrong: the output is named first, as it is opened first.
        {{"update", "--in", "9", "--out", "8"},
         {"KEVO PXR-9"},
         "Error: --out 8 is out of range: the MIDI OUT ports are numbered 0 to 0\n"},
    };
    for (const UsageCase& c : cases) {
        CliRun r;
        r.world.setPorts(c.ports, c.ports.empty() ? -1 : 0);
        EXPECT_EQ(r.run(c.args), kExitUsage) << c.err;
        EXPECT_EQ(r.err.str(), c.err);
        EXPECT_EQ(r.world.device().counts().requests(), 0u) << c.err;
        EXPECT_TRUE(r.portsClosedAndDispatchStopped());
        EXPECT_EQ(r.session.result().message, c.err.substr(7, c.err.size() - 8));
    }
}

// What --json prints, read back by a JSON reader.
JsonValue jsonOf(CliRun& r, const std::vector<std::string>& args, int code) {
    CliCommand command = *parseCliArgs(args).command;
    const auto json =
        JsonReader::parse(resultJson(command, r.session.result(), code, r.session.aborted()));
    EXPECT_TRUE(json.has_value());
    return json.value_or(JsonValue{nullptr});
}

TEST(CliSession, JsonUpdateReadsTheStampsBeforeAndAfter) {
    sim::SimConfig old = instantDevice();
    old.stamps.boot = sim::makeStamp("0.90");
    CliRun r(old);
    const std::vector<std::string> args = {"update", "--json"};
    ASSERT_EQ(r.run(args), kExitSuccess) << r.err.str();
    const JsonValue j = jsonOf(r, args, kExitSuccess);
    EXPECT_EQ(j["outcome"].str(), "success");
    EXPECT_EQ(j["message"].str(), "Version update completed.");
    EXPECT_EQ(j["failure"].str(), "");
    EXPECT_EQ(j["ports"]["in"]["device"].number(), 0);
    EXPECT_EQ(j["ports"]["out"]["name"].str(), "KEVO PXR-9");
    EXPECT_EQ(j["stamps"]["before"]["boot"].str(), "0.90");
    EXPECT_EQ(j["stamps"]["before"]["system"].str(), "1.10");
    EXPECT_EQ(j["stamps"]["after"]["boot"].str(), "1.00");
    EXPECT_EQ(j["stamps"]["carried"]["boot"].str(), "1.00");
    EXPECT_EQ(r.world.device().counts()[RequestKind::MemoryRead], 7u);  // 3 + boot check + 3
    EXPECT_TRUE(r.portsClosedAndDispatchStopped());
}

TEST(CliSession, JsonUpdateOfADeviceThatCannotBeReadDoesNotUpdateIt) {
    CliRun r;
    r.world.device().faults().reportIdentity(Occurrences::every(), 0x00100001);
    const std::vector<std::string> args = {"update", "--json"};
    ASSERT_EQ(r.run(args), kExitFailure);
    EXPECT_EQ(r.err.str(), "Error: Illegal device connected.\n");
    EXPECT_EQ(r.world.device().counts()[RequestKind::UpdateStart], 0u);
    const JsonValue j = jsonOf(r, args, kExitFailure);
    EXPECT_EQ(j["outcome"].str(), "failure");
    EXPECT_EQ(j["message"].str(), "Illegal device connected.");
    EXPECT_EQ(j["failure"].str(), "wrong-device");
    EXPECT_TRUE(j["stamps"]["before"].isNull());
    EXPECT_TRUE(j["stamps"]["after"].isNull());
}

// The cable comes out during the write: the step's text, then why, as a note of its own; the
// JSON result carries both.
TEST(CliSession, ADeviceThatGoesAwayIsNamedUnderTheError) {
    CliRun r;
    r.world.whenHostSends(
        [](const std::vector<std::uint8_t>& m) { return m.size() > 4 && m[4] == 0x02; },
        [&r] { r.world.unplug(); });
    r.world.device().faults().late(RequestKind::WriteBlock, Occurrences::every(), 10);
    const std::vector<std::string> args = {"update", "--json"};
    ASSERT_EQ(r.run(args), kExitFailure);
    EXPECT_EQ(r.err.str(), "Error: Time out error(2)\npxr9-cli: The device was disconnected.\n");
    const JsonValue j = jsonOf(r, args, kExitFailure);
    EXPECT_EQ(j["message"].str(), "Time out error(2)");
    EXPECT_EQ(j["cause"].str(), "The device was disconnected.");
    EXPECT_EQ(j["failure"].str(), "device-gone");
}

TEST(CliSession, JsonUpdateRefusedByTheDeviceKeepsTheStampsReadBefore) {
    CliRun r;
    r.world.device().faults().refuse(RequestKind::UpdateStart, Occurrences::every(), 11);
    const std::vector<std::string> args = {"update", "--json"};
    ASSERT_EQ(r.run(args), kExitFailure);
    const JsonValue j = jsonOf(r, args, kExitFailure);
    EXPECT_EQ(j["message"].str(), "Please use the firmware update mode.");
    EXPECT_EQ(j["failure"].str(), "not-in-update-mode");
    EXPECT_EQ(j["stamps"]["before"]["system"].str(), "1.10");
    EXPECT_TRUE(j["stamps"]["after"].isNull());
}

TEST(CliSession, AReadAfterTheUpdateThatFailsCountsOnlyWithVerify) {
    // Memory reads: three before, the boot check of the update, three after; the last fails.
    for (const bool verify : {false, true}) {
        CliRun r;
        r.world.device().faults().noAnswer(RequestKind::MemoryRead, Occurrences::only(7));
        std::vector<std::string> args = {"update", "--json"};
        if (verify) args.push_back("--verify");
        const int expected = verify ? kExitFailure : kExitSuccess;
        ASSERT_EQ(r.run(args), expected);
        const JsonValue j = jsonOf(r, args, expected);
        EXPECT_EQ(j["message"].str(), "Version update completed.");
        // Why the run failed, only when it did.
        EXPECT_EQ(j["failure"].str(), verify ? "timeout" : "");
        EXPECT_EQ(j["stamps"]["before"]["boot"].str(), "1.00");
        EXPECT_TRUE(j["stamps"]["after"].isNull());
        EXPECT_TRUE(r.portsClosedAndDispatchStopped());
    }
}

TEST(CliSession, JsonVersionGivesTheReportAsItsMessage) {
    CliRun r;
    const std::vector<std::string> args = {"version", "--json"};
    ASSERT_EQ(r.run(args), kExitSuccess);
    const JsonValue j = jsonOf(r, args, kExitSuccess);
    EXPECT_EQ(j["message"].str(), "SYSTEM:\t\t1.10 -> 1.10\nPRESET:\t\t1.00\nBOOT:\t\t1.00");
    EXPECT_EQ(j["stamps"]["device"]["preset"].str(), "1.00");
    EXPECT_EQ(j["stamps"]["carried"]["system"].str(), "1.10");
}

TEST(CliSession, JsonOfAMissingPortSaysWhichAndHasNoPort) {
    CliRun r;
    r.world.setPorts({"Other"}, 0);
    const std::vector<std::string> args = {"version", "--json"};
    ASSERT_EQ(r.run(args), kExitFailure);
    const JsonValue j = jsonOf(r, args, kExitFailure);
    EXPECT_EQ(j["message"].str(), "Can't open MIDI Out device.");
    EXPECT_EQ(j["failure"].str(), "port");
    EXPECT_TRUE(j["ports"]["out"].isNull());
    EXPECT_TRUE(j["stamps"]["device"].isNull());
}

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
    EXPECT_TRUE(r.portsClosedAndDispatchStopped());
    EXPECT_EQ(r.world.device().counts()[RequestKind::UpdateEnd], 0u);
}

TEST(CliSession, AbortDuringASendThatNeverFinishesStillEndsTheRun) {
    VirtualWorld world(instantDevice());
    // Takes the first message and never finishes it: a device that stopped taking bytes.
    testing::FakeOutputBackend stuck({"KEVO PXR-9"});
    stuck.setSend(testing::FakeOutputBackend::Send::Stuck);
    OutputPorts stuckPorts{{&stuck}};
    const UpdaterPlatform p = world.platform();
    std::ostringstream out;
    std::ostringstream err;
    ConsoleSurface surface(out, err, false);
    CliSession session({p.inputs, stuckPorts, p.replyEvent, p.clock, p.watcher}, surface, out, err);
    // Ctrl-C, once the send is stuck.
    std::thread user([&] {
        stuck.waitForSends(1);
        session.abort();
    });

    const CliArgs update = parseCliArgs({"update"});
    ASSERT_TRUE(update.command.has_value());
    EXPECT_EQ(session.run(*update.command), kExitFailure);
    user.join();

    EXPECT_TRUE(session.aborted());
    EXPECT_EQ(err.str(), "");
    EXPECT_FALSE(session.state().channel.out.isOpen());
    EXPECT_GE(stuck.cancels(), 1);
}

TEST(CliSession, AbortBeforeTheRunStartsNoWorker) {
    CliRun r;
    r.session.abort();
    EXPECT_EQ(r.run({"update"}), kExitFailure);
    EXPECT_EQ(r.world.device().counts().requests(), 0u);
    EXPECT_TRUE(r.portsClosedAndDispatchStopped());
}

}  // namespace
}  // namespace pxr9::testing
