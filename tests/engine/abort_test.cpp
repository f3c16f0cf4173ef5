// Closing the dialog while a worker waits: the abort ends every wait silently.
#include <gtest/gtest.h>

#include <functional>

#include "engine/product_profile.h"
#include "engine/update_procedure.h"
#include "engine/version_check.h"
#include "protocol/dispatcher.h"
#include "protocol/seven_bit.h"
#include "tests/doubles/engine_harness.h"
#include "tests/engine/flash_expectations.h"

namespace pxr9::testing {
namespace {

using sim::Occurrences;
using sim::RequestKind;

Match memoryReadAt(std::uint32_t address) {
    return [address](const std::vector<std::uint8_t>& m) {
        return m.size() == 17 && m[4] == 0x60 && readSevenBitField(&m[6], 5) == address;
    };
}

struct AbortCase {
    const char* name;
    RequestKind unanswered;
    Match abortAfter;
    Occurrences which = Occurrences::every();
};

// Test names carry the case name; this keeps ctest from printing the raw bytes.
void PrintTo(const AbortCase& c, std::ostream* os) {
    *os << c.name;
}

class UpdateAbort : public ::testing::TestWithParam<AbortCase> {};

TEST_P(UpdateAbort, EndsWithoutAWordAndSendsNothingMore) {
    const AbortCase& c = GetParam();
    EngineHarness h(oldBootDevice());
    h.world.device().faults().noAnswer(c.unanswered, Occurrences::every());
    h.world.whenHostSends(c.abortAfter, [&h] { h.state.requestAbort(); });

    EXPECT_EQ(h.run(runUpdate), ProcedureOutcome::aborted());

    EXPECT_TRUE(h.surface.boxes().empty());
    const auto sent = h.world.sent();
    ASSERT_FALSE(sent.empty());
    EXPECT_TRUE(c.abortAfter(sent.back().bytes)) << "something was sent after the abort";
}

INSTANTIATE_TEST_SUITE_P(
    EachWait, UpdateAbort,
    ::testing::Values(AbortCase{"Identity", RequestKind::IdentityRequest, isIdentityRequest},
                      AbortCase{"UpdateStart", RequestKind::UpdateStart, command(0x01)},
                      AbortCase{"BootStampRead", RequestKind::MemoryRead, command(0x60)},
                      AbortCase{"Erase", RequestKind::FlashErase, command(0x0A)},
                      AbortCase{"WriteBlock", RequestKind::WriteBlock, command(0x02)},
                      AbortCase{"UpdateEnd", RequestKind::UpdateEnd, command(0x04)}),
    [](const auto& info) { return std::string(info.param.name); });

class VersionCheckAbort : public ::testing::TestWithParam<AbortCase> {};

TEST_P(VersionCheckAbort, EndsWithoutAWordAndNoMoreReads) {
    const AbortCase& c = GetParam();
    EngineHarness h;
    h.world.device().faults().noAnswer(c.unanswered, c.which);
    h.world.whenHostSends(c.abortAfter, [&h] { h.state.requestAbort(); });

    EXPECT_EQ(h.run(runVersionCheck), ProcedureOutcome::aborted());

    EXPECT_TRUE(h.surface.boxes().empty());
    const auto sent = h.world.sent();
    ASSERT_FALSE(sent.empty());
    EXPECT_TRUE(c.abortAfter(sent.back().bytes)) << "something was sent after the abort";
}

INSTANTIATE_TEST_SUITE_P(
    EachWait, VersionCheckAbort,
    ::testing::Values(
        AbortCase{"Identity", RequestKind::IdentityRequest, isIdentityRequest},
        AbortCase{"SystemRead", RequestKind::MemoryRead, memoryReadAt(kSystemStampAddress),
                  Occurrences::only(1)},
        // A failed PRESET read is passed over, but an abort must not cost one more read.
        AbortCase{"PresetRead", RequestKind::MemoryRead, memoryReadAt(kPresetStampAddress),
                  Occurrences::only(2)},
        AbortCase{"BootRead", RequestKind::MemoryRead, memoryReadAt(kBootStampAddress),
                  Occurrences::only(3)}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(UpdateAbortDetail, AReplyArrivingAfterTheAbortDoesNotReviveTheWorker) {
    // The device's answer lands just after the dialog asked for the abort, and is handed over.
    EngineHarness h(oldBootDevice());
    h.world.device().faults().noAnswer(RequestKind::FlashErase, Occurrences::every());
    h.world.whenHostSends(command(0x0A), [&h] {
        h.state.requestAbort();
        const std::uint8_t accepted[] = {0xF0, 0x52, 0x00, 0x6E, 0x00, 0x00, 0xF7};
        interpretMessage(h.state.link, accepted, sizeof accepted);
    });

    EXPECT_EQ(h.run(runUpdate), ProcedureOutcome::aborted());

    EXPECT_TRUE(h.surface.boxes().empty());
    EXPECT_EQ(sentWithCommand(h.world.sent(), 0x0A).size(), 1u);
    EXPECT_TRUE(sentWithCommand(h.world.sent(), 0x02).empty());
}

}  // namespace
}  // namespace pxr9::testing
