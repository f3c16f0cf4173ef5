// Every way an update can fail: what the user sees, what the caller is told, what was sent,
// and what the flash holds afterwards.
#include <gtest/gtest.h>

#include <functional>

#include "engine/reply_wait.h"
#include "engine/update_procedure.h"
#include "sim/flash_layout.h"
#include "tests/doubles/engine_harness.h"
#include "tests/engine/flash_expectations.h"

namespace pxr9::testing {
namespace {

using sim::Occurrences;
using sim::RequestKind;

enum class FlashAfter { Untouched, VersionBlockErased, Updated };

// The box the user sees, and the kind of failure the caller is told of.
struct Shown {
    std::vector<std::string> boxes;
    FailureKind failure;
};

struct FailureCase {
    const char* name;
    std::function<void(EngineHarness&)> arrange;
    Shown shown;
    FlashAfter flash;
    int erasesSent;  // -1: not checked
    int blocksSent;  // -1: not checked
};

// Test names carry the case name; this keeps ctest from printing the raw bytes.
void PrintTo(const FailureCase& c, std::ostream* os) {
    *os << c.name;
}

void statusFromDeviceAfterIdentityRequest(EngineHarness& h, std::uint8_t status) {
    h.world.device().faults().noAnswer(RequestKind::IdentityRequest, Occurrences::every());
    h.world.whenHostSends(isIdentityRequest, [&h, status] {
        h.world.scheduleFromDevice(h.world.nowMs(), {0xF0, 0x52, 0x00, 0x6E, 0x00, status, 0xF7});
    });
}

const Shown kTimeout1 = {{"error:Time out error(1)"}, FailureKind::Timeout};
const Shown kTimeout2 = {{"error:Time out error(2)"}, FailureKind::Timeout};
const Shown kTimeout3 = {{"error:Time out error(3)"}, FailureKind::Timeout};
const Shown kIllegal = {{"error:Illegal device connected."}, FailureKind::WrongDevice};
const Shown kRefused = {{"error:Transfer error occurred."}, FailureKind::Refused};
const Shown kTransferTimeout = {{"error:Transfer error occurred."}, FailureKind::Timeout};
const Shown kSuccess = {{}, FailureKind::None};

sim::FaultScript& faults(EngineHarness& h) {
    return h.world.device().faults();
}

const FailureCase kCases[] = {
    {"IdentityNotAnswered",
     [](EngineHarness& h) {
         faults(h).noAnswer(RequestKind::IdentityRequest, Occurrences::every());
     },
     kTimeout1, FlashAfter::Untouched, 0, 0},
    {"IdentityOfAnotherDevice",
     [](EngineHarness& h) { faults(h).reportIdentity(Occurrences::every(), 0x00100001); }, kIllegal,
     FlashAfter::Untouched, 0, 0},
    {"IdentityAnsweredWithAStatus",
     [](EngineHarness& h) { statusFromDeviceAfterIdentityRequest(h, 0x03); }, kIllegal,
     FlashAfter::Untouched, 0, 0},
    {"IdentityRequestCannotBeSent",
     [](EngineHarness& h) { h.state.channel.out.close(); },
     {{"error:Can't open MIDI Out device."}, FailureKind::Port},
     FlashAfter::Untouched,
     0,
     0},
    {"UpdateStartNotAnswered",
     [](EngineHarness& h) { faults(h).noAnswer(RequestKind::UpdateStart, Occurrences::every()); },
     kTimeout1, FlashAfter::Untouched, 0, 0},
    {"UpdateStartNotInUpdateMode",
     [](EngineHarness& h) { faults(h).refuse(RequestKind::UpdateStart, Occurrences::every(), 11); },
     {{"error:Please use the firmware update mode."}, FailureKind::NotInUpdateMode},
     FlashAfter::Untouched,
     0,
     0},
    {"UpdateStartRefused",
     [](EngineHarness& h) { faults(h).refuse(RequestKind::UpdateStart, Occurrences::every(), 3); },
     kRefused, FlashAfter::Untouched, 0, 0},
    {"BootStampReadNotAnswered",
     [](EngineHarness& h) { faults(h).noAnswer(RequestKind::MemoryRead, Occurrences::every()); },
     kTransferTimeout, FlashAfter::Untouched, 0, 0},
    {"BootStampReadWithBadCrc",
     [](EngineHarness& h) { faults(h).badReadCrc(Occurrences::every()); }, kRefused,
     FlashAfter::Untouched, 0, 0},
    // Not a Read Data at all: a rejected read, never the data of an earlier one.
    {"BootStampReadWithWrongByte5",
     [](EngineHarness& h) { faults(h).wrongReadByte5(Occurrences::every(), 0x05); }, kRefused,
     FlashAfter::Untouched, 0, 0},
    {"EraseNotAnswered",
     [](EngineHarness& h) { faults(h).noAnswer(RequestKind::FlashErase, Occurrences::every()); },
     kTimeout3, FlashAfter::Untouched, 1, 0},
    {"EraseRefusedSixTimesThenAccepted",
     [](EngineHarness& h) {
         faults(h).refuse(RequestKind::FlashErase, Occurrences::range(1, 6), 2);
     },
     kSuccess, FlashAfter::Updated, 6 + 5, -1},
    {"EraseRefusedSevenTimes",
     [](EngineHarness& h) {
         faults(h).refuse(RequestKind::FlashErase, Occurrences::range(1, 7), 2);
     },
     kRefused, FlashAfter::Untouched, 7, 0},
    {"EraseRefusedThenNotAnswered",
     [](EngineHarness& h) {
         faults(h).refuse(RequestKind::FlashErase, Occurrences::range(1, 3), 2);
         faults(h).noAnswer(RequestKind::FlashErase, Occurrences::only(4));
     },
     kTimeout3, FlashAfter::Untouched, 4, 0},
    {"BlockTimesOut31TimesThenAccepted",
     [](EngineHarness& h) {
         // Two blocks in a row: the counter starts again after an accepted block.
         faults(h).noAnswer(RequestKind::WriteBlock, Occurrences::range(1, 31));
         faults(h).noAnswer(RequestKind::WriteBlock, Occurrences::range(33, 63));
     },
     kSuccess, FlashAfter::Updated, 5, 3889 + 62},
    {"BlockTimesOut32Times",
     [](EngineHarness& h) {
         faults(h).noAnswer(RequestKind::WriteBlock, Occurrences::range(1, 32));
     },
     kTimeout2, FlashAfter::VersionBlockErased, 2, 32},
    {"BlockRefused32Times",
     [](EngineHarness& h) {
         faults(h).refuse(RequestKind::WriteBlock, Occurrences::range(1, 32), 2);
     },
     kRefused, FlashAfter::VersionBlockErased, 2, 32},
    {"BlockRefused31TimesThenTimesOut",
     [](EngineHarness& h) {
         faults(h).refuse(RequestKind::WriteBlock, Occurrences::range(1, 31), 2);
         faults(h).noAnswer(RequestKind::WriteBlock, Occurrences::only(32));
     },
     kTimeout2, FlashAfter::VersionBlockErased, 2, 32},
    {"UpdateEndNotAnswered",
     [](EngineHarness& h) { faults(h).noAnswer(RequestKind::UpdateEnd, Occurrences::every()); },
     kTransferTimeout, FlashAfter::Updated, 5, 3889},
    {"UpdateEndRefusedStillCompletes",
     [](EngineHarness& h) { faults(h).refuse(RequestKind::UpdateEnd, Occurrences::every(), 5); },
     kSuccess, FlashAfter::Updated, 5, 3889},
};

class UpdateFailure : public ::testing::TestWithParam<FailureCase> {};

TEST_P(UpdateFailure, ShowsItsTextAndTellsTheCallerWhy) {
    const FailureCase& c = GetParam();
    const sim::SimConfig config = oldBootDevice();
    EngineHarness h(config);
    c.arrange(h);

    const ProcedureOutcome outcome = h.run(runUpdate);

    EXPECT_EQ(h.surface.boxes(), c.shown.boxes);
    // The caller is told what the user was shown, and why.
    EXPECT_EQ(outcome, c.shown.boxes.empty()
                           ? ProcedureOutcome::completed()
                           : ProcedureOutcome::failed(c.shown.failure, c.shown.boxes[0].substr(6)));
    const auto sent = h.world.sent();
    if (c.erasesSent >= 0) {
        EXPECT_EQ(sentWithCommand(sent, 0x0A).size(), std::size_t(c.erasesSent));
    }
    if (c.blocksSent >= 0) {
        EXPECT_EQ(sentWithCommand(sent, 0x02).size(), std::size_t(c.blocksSent));
    }
    const auto flash = h.world.device().flash();
    switch (c.flash) {
        case FlashAfter::Untouched:
            EXPECT_EQ(firstChangeIn(flash, config, 0, sim::kFlashSize), "");
            break;
        case FlashAfter::VersionBlockErased:
            for (std::uint32_t a = 0x110000; a < 0x111000; ++a) ASSERT_EQ(flash[a], 0xFF) << a;
            break;
        case FlashAfter::Updated:
            EXPECT_EQ(firstFlashMismatch(flash, config, true), "");
            break;
    }
}

INSTANTIATE_TEST_SUITE_P(Table, UpdateFailure, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(UpdateFailureDetail, UpdateStartTimeoutKeepsTheErasingText) {
    EngineHarness h(oldBootDevice());
    faults(h).noAnswer(RequestKind::UpdateStart, Occurrences::every());
    h.run(runUpdate);
    EXPECT_EQ(h.surface.status(), "Erasing Flash memory.");
    EXPECT_EQ(h.world.nowMs(), 30000u);
}

TEST(UpdateFailureDetail, AnyReplyToUpdateStartClearsTheStatusFirst) {
    EngineHarness h(oldBootDevice());
    faults(h).refuse(RequestKind::UpdateStart, Occurrences::every(), 11);
    h.run(runUpdate);
    EXPECT_EQ(h.surface.status(), "");
    EXPECT_TRUE(sentWithCommand(h.world.sent(), 0x0A).empty());
}

TEST(UpdateFailureDetail, RejectedIdentityIsStoredAndUsedByLaterAnswers) {
    EngineHarness h(oldBootDevice());
    faults(h).reportIdentity(Occurrences::every(), 0x00100042);
    h.run(runUpdate);
    EXPECT_EQ(h.state.link.currentIdentity.load(), 0x00100042u);
    EXPECT_EQ(h.state.link.modelId(), 0x42);
    EXPECT_EQ(h.state.link.hostIdentity.load(), 0u);  // only an accepted device is recorded
}

// The first block's answer leaves 1,500 ms after the request, after its 1,000 ms wait; the
// seventh block request is refused once. Taking the late answer for the resend would shift
// every later answer by one request: the refusal would then pass for the next block, the
// refused block would never be written, and the update would still report completion.
TEST(UpdateFailureDetail, ALateBlockAnswerAndARefusalStillWriteEveryBlock) {
    const sim::SimConfig config = oldBootDevice();
    EngineHarness h(config);
    faults(h).late(RequestKind::WriteBlock, Occurrences::only(1), 1500);
    faults(h).refuse(RequestKind::WriteBlock, Occurrences::only(7), 2);

    EXPECT_EQ(h.run(runUpdate), ProcedureOutcome::completed());

    EXPECT_TRUE(h.surface.boxes().empty());
    EXPECT_EQ(firstFlashMismatch(h.world.device().flash(), config, true), "");
    const auto blocks = sentWithCommand(h.world.sent(), 0x02);
    ASSERT_GE(blocks.size(), 7u);
    // The first block again, once the barrier's Identity Reply came after the late answer;
    // then the refused block (the sixth of the preset region) again, right after its refusal.
    EXPECT_EQ(blockAddress(blocks[1]), blockAddress(blocks[0]));
    EXPECT_EQ(blocks[1].atMs - blocks[0].atMs, 1500u);
    EXPECT_EQ(blockAddress(blocks[6]), 0x050000u);
    EXPECT_EQ(blockAddress(blocks[7]), 0x050000u);
    EXPECT_EQ(blocks.size(), 3889u + 2);
}

}  // namespace
}  // namespace pxr9::testing
