// Answers that come late, twice, unasked or not at all, and a device that goes away: every
// answer stays with the request it belongs to, and "completed" is only ever shown over a
// flash that holds every block.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "engine/reply_wait.h"
#include "engine/update_procedure.h"
#include "engine/version_check.h"
#include "protocol/messages.h"
#include "tests/doubles/engine_harness.h"
#include "tests/engine/flash_expectations.h"

namespace pxr9::testing {
namespace {

using sim::Occurrences;
using sim::RequestKind;

constexpr std::size_t kBlocksOfAnUpdate = 3889;

std::vector<std::uint8_t> statusFromDevice(std::uint8_t status) {
    return {0xF0, 0x52, 0x00, 0x6E, 0x00, status, 0xF7};
}

std::size_t identityRequestsSent(const EngineHarness& h) {
    std::size_t n = 0;
    for (const SentMessage& m : h.world.sent()) n += isIdentityRequest(m.bytes) ? 1 : 0;
    return n;
}

void expectCompletedOverTheWholeMap(EngineHarness& h, const sim::SimConfig& config,
                                    ProcedureOutcome outcome) {
    EXPECT_EQ(outcome, ProcedureOutcome::completed());
    EXPECT_TRUE(h.surface.boxes().empty());
    EXPECT_EQ(firstFlashMismatch(h.world.device().flash(), config, true), "");
}

// The first block's answer comes later than its wait (1 s) and any quiet period after it;
// a later block is refused once. Taking the late answer for the resend's would shift every
// later answer by one request, charge the refusal to the next block and report completion
// with the refused block never written.
TEST(LateAnswers, ABlockAnsweredLateAndALaterRefusalStillWriteEveryBlock) {
    for (const std::uint32_t lateMs : {1500u, 4000u, 29000u}) {
        SCOPED_TRACE(lateMs);
        const sim::SimConfig config = oldBootDevice();
        EngineHarness h(config);
        h.world.device().faults().late(RequestKind::WriteBlock, Occurrences::only(1), lateMs);
        h.world.device().faults().refuse(RequestKind::WriteBlock, Occurrences::only(7), 2);

        expectCompletedOverTheWholeMap(h, config, h.run(runUpdate));

        const auto blocks = sentWithCommand(h.world.sent(), kCmdWriteBlock);
        ASSERT_EQ(blocks.size(), kBlocksOfAnUpdate + 2);
        // The resend leaves once the barrier's Identity Reply followed the late answer.
        EXPECT_EQ(blockAddress(blocks[1]), blockAddress(blocks[0]));
        EXPECT_EQ(blocks[1].atMs - blocks[0].atMs, lateMs);
        EXPECT_EQ(blockAddress(blocks[7]), blockAddress(blocks[6]));
        EXPECT_EQ(identityRequestsSent(h), 2u);
    }
}

// Once a barrier is due, whatever comes before its Identity Reply is dropped: the late
// answer, and messages the device sends unasked.
TEST(LateAnswers, EverythingBeforeTheBarriersIdentityReplyIsDropped) {
    const sim::SimConfig config = oldBootDevice();
    EngineHarness h(config);
    h.world.device().faults().late(RequestKind::WriteBlock, Occurrences::only(1), 4000);
    h.world.whenHostSends(command(kCmdWriteBlock), [&h] {
        h.world.scheduleFromDevice(h.world.nowMs() + 1500, statusFromDevice(0x00));
        h.world.scheduleFromDevice(h.world.nowMs() + 2000, statusFromDevice(0x02));
    });
    h.world.device().faults().refuse(RequestKind::WriteBlock, Occurrences::only(2), 3);

    expectCompletedOverTheWholeMap(h, config, h.run(runUpdate));
    // The refused resend was sent again: its refusal was not lost among the strays.
    const auto blocks = sentWithCommand(h.world.sent(), kCmdWriteBlock);
    ASSERT_GE(blocks.size(), 3u);
    EXPECT_EQ(blockAddress(blocks[2]), blockAddress(blocks[0]));
}

// A device that does not answer the barrier either is not answering at all: the block ends
// with its timeout text after the barrier's wait, without 31 more resends.
TEST(LateAnswers, ABarrierThatIsNotAnsweredEndsTheWrite) {
    EngineHarness h(oldBootDevice());
    h.world.device().faults().silent(RequestKind::WriteBlock, Occurrences::only(1));

    EXPECT_EQ(h.run(runUpdate),
              ProcedureOutcome::failed(FailureKind::Timeout, "Time out error(2)"));

    const auto blocks = sentWithCommand(h.world.sent(), kCmdWriteBlock);
    ASSERT_EQ(blocks.size(), 1u);
    EXPECT_EQ(h.world.nowMs() - blocks[0].atMs, 1000u + 100u + kLatestAnswerMs);
    EXPECT_EQ(identityRequestsSent(h), 2u);
}

// A send taken back after its bound may still have reached the device: its answer is the
// answer to that very request, and is taken as such.
TEST(LateAnswers, TheAnswerToASendTakenBackIsItsOwn) {
    const sim::SimConfig config = oldBootDevice();
    EngineHarness h(config);
    int blockSends = 0;
    h.world.takeBackSends([&blockSends](const std::vector<std::uint8_t>& m) {
        return command(kCmdWriteBlock)(m) && ++blockSends == 5;
    });

    expectCompletedOverTheWholeMap(h, config, h.run(runUpdate));
    EXPECT_EQ(sentWithCommand(h.world.sent(), kCmdWriteBlock).size(), kBlocksOfAnUpdate);
}

// The identity check reads an identity only: on a line where nothing is owed, any other
// first answer to the Identity Request is a device that does not identify itself, whatever
// identity an earlier run left behind.
TEST(IdentityOfASecondRun, AnAnswerThatIsNoIdentityNeverPasses) {
    const std::vector<std::vector<std::uint8_t>> answers = {
        statusFromDevice(0x00),
        {0xF0, 0x52, 0x00, 0x6E, 0x02, 0xF7},
        {0xF0, 0x52, 0x00, 0x6E, 0x60, 0x05, 0x30, 0x00, 0x00, 0x04, 0x00, 0xF7},
    };
    for (const auto& answer : answers) {
        EngineHarness h(oldBootDevice());
        ASSERT_EQ(h.run(runVersionCheck), ProcedureOutcome::completed());
        ASSERT_FALSE(h.session.openPorts(0, 0));
        h.world.device().faults().noAnswer(RequestKind::IdentityRequest, Occurrences::from(2));
        h.world.whenHostSends(isIdentityRequest, [&h, answer] {
            h.world.scheduleFromDevice(h.world.nowMs(), answer);
        });
        h.world.clearSent();

        EXPECT_EQ(h.run(runUpdate),
                  ProcedureOutcome::failed(FailureKind::WrongDevice, "Illegal device connected."));
        EXPECT_TRUE(sentWithCommand(h.world.sent(), kCmdUpdateStart).empty());
    }
}

// A run that ended on a timeout leaves its request's answer on the way. The next run's
// identity check drops it: it is not the identity, and it is not the answer to Update Start.
TEST(IdentityOfASecondRun, ALateAnswerOfTheRunBeforeIsDropped) {
    const sim::SimConfig config = oldBootDevice();
    EngineHarness h(config);
    // Every send of the first block is answered 5 s late: each resend waits for the barrier,
    // and the last one's answer is still on its way when the run ends.
    h.world.device().faults().late(RequestKind::WriteBlock, Occurrences::range(1, 32), 5000);
    ASSERT_EQ(h.run(runUpdate),
              ProcedureOutcome::failed(FailureKind::Timeout, "Time out error(2)"));
    EXPECT_EQ(sentWithCommand(h.world.sent(), kCmdWriteBlock).size(), 32u);

    ASSERT_FALSE(h.session.openPorts(0, 0));
    EXPECT_EQ(h.run(runUpdate), ProcedureOutcome::completed());
    EXPECT_EQ(h.surface.status(), "Version update completed.");
    EXPECT_EQ(firstFlashMismatch(h.world.device().flash(), config, true), "");
}

// Answers still queued when the ports open again never reach the next run.
TEST(IdentityOfASecondRun, AnswersQueuedBeforeThePortsOpenAgainAreForgotten) {
    const sim::SimConfig config = oldBootDevice();
    EngineHarness h(config);
    ASSERT_EQ(h.run(runUpdate), ProcedureOutcome::completed());
    const auto stray = statusFromDevice(0x00);
    ASSERT_TRUE(h.state.link.queue.append(stray.data(), stray.size()));
    ASSERT_FALSE(h.session.openPorts(0, 0));
    h.world.device().faults().noAnswer(RequestKind::IdentityRequest, Occurrences::from(2));

    EXPECT_EQ(h.run(runUpdate),
              ProcedureOutcome::failed(FailureKind::Timeout, "Time out error(1)"));
}

struct VanishCase {
    const char* name;
    Match unplugAfter;
    std::string shown;
};

void PrintTo(const VanishCase& c, std::ostream* os) {
    *os << c.name;
}

Match memoryRead() {
    return command(kCmdMemory);
}

const VanishCase kVanishCases[] = {
    {"Identity", isIdentityRequest, "Time out error(1)"},
    {"UpdateStart", command(kCmdUpdateStart), "Time out error(1)"},
    {"BootStampRead", memoryRead(), "Transfer error occurred."},
    {"Erase", command(kCmdFlashErase), "Time out error(3)"},
    {"Write", command(kCmdWriteBlock), "Time out error(2)"},
    {"UpdateEnd", command(kCmdUpdateEnd), "Transfer error occurred."},
};

class DeviceVanishes : public ::testing::TestWithParam<VanishCase> {};

// The cable comes out while the host waits: the wait ends there, with the step's own text
// and the cause under it; nothing more is sent. Plugged in again, the next run is clean.
TEST_P(DeviceVanishes, TheWaitEndsAtOnceWithTheStepsTextAndItsCause) {
    const VanishCase& c = GetParam();
    const sim::SimConfig config = oldBootDevice();
    EngineHarness h(config);
    // The device's answers are slow enough for the cable to come out first.
    h.world.device().faults().late(RequestKind::IdentityRequest, Occurrences::every(), 10);
    for (const auto kind :
         {RequestKind::UpdateStart, RequestKind::MemoryRead, RequestKind::FlashErase,
          RequestKind::WriteBlock, RequestKind::UpdateEnd}) {
        h.world.device().faults().late(kind, Occurrences::every(), 10);
    }
    std::uint64_t pulledAt = 0;
    h.world.whenHostSends(c.unplugAfter, [&h, &pulledAt] {
        pulledAt = h.world.nowMs();
        h.world.unplug();
    });

    EXPECT_EQ(h.run(runUpdate), ProcedureOutcome::failed(FailureKind::DeviceGone, c.shown,
                                                         "The device was disconnected."));

    EXPECT_EQ(h.surface.boxes(),
              std::vector<std::string>{"error:" + c.shown + "\nThe device was disconnected."});
    EXPECT_EQ(h.world.nowMs(), pulledAt);
    EXPECT_FALSE(h.world.sent().empty());
    EXPECT_TRUE(c.unplugAfter(h.world.sent().back().bytes)) << "something was sent after";

    h.world.device().faults().clear();
    h.world.replug();
    ASSERT_FALSE(h.session.openPorts(0, 0));
    EXPECT_EQ(h.run(runUpdate), ProcedureOutcome::completed());
    EXPECT_EQ(firstFlashMismatch(h.world.device().flash(), config, true), "");
}

INSTANTIATE_TEST_SUITE_P(Steps, DeviceVanishes, ::testing::ValuesIn(kVanishCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Gone between two requests (during the pause before the plan): the next request fails to
// leave, and its wait ends at once with its own text.
TEST(DeviceVanishesBetweenRequests, TheNextRequestEndsAtOnce) {
    EngineHarness h(oldBootDevice());
    h.world.whenHostSends(command(kCmdUpdateStart), [&h] { h.world.unplug(); });

    EXPECT_EQ(h.run(runUpdate),
              ProcedureOutcome::failed(FailureKind::DeviceGone, "Transfer error occurred.",
                                       "The device was disconnected."));
    EXPECT_TRUE(sentWithCommand(h.world.sent(), kCmdMemory).empty());
}

// A version check names a device that went away; its reads show nothing otherwise.
TEST(DeviceVanishesBetweenRequests, AVersionCheckNamesIt) {
    EngineHarness h(oldBootDevice());
    h.world.whenHostSends(command(kCmdMemory), [&h] { h.world.unplug(); });
    h.world.device().faults().late(RequestKind::MemoryRead, Occurrences::every(), 10);

    EXPECT_EQ(h.run(runVersionCheck),
              ProcedureOutcome::failed(FailureKind::DeviceGone, "The device was disconnected."));
    EXPECT_EQ(h.surface.boxes(), std::vector<std::string>{"error:The device was disconnected."});
}

// Closing the dialog while a barrier waits for its Identity Reply ends the run there.
TEST(LateAnswers, AnAbortDuringTheBarrierEndsTheRunSilently) {
    EngineHarness h(oldBootDevice());
    h.world.device().faults().noAnswer(RequestKind::WriteBlock, Occurrences::only(1));
    h.world.device().faults().noAnswer(RequestKind::IdentityRequest, Occurrences::from(2));
    int identityRequests = 0;
    h.world.whenHostSends(
        [&identityRequests](const std::vector<std::uint8_t>& m) {
            return isIdentityRequest(m) && ++identityRequests == 2;
        },
        [&h] { h.session.abort(); });

    EXPECT_EQ(h.run(runUpdate), ProcedureOutcome::aborted());
    EXPECT_TRUE(h.surface.boxes().empty());
    EXPECT_EQ(sentWithCommand(h.world.sent(), kCmdWriteBlock).size(), 1u);
    EXPECT_LT(h.world.nowMs(), 1000u + 100u + kLatestAnswerMs);
}

}  // namespace
}  // namespace pxr9::testing
