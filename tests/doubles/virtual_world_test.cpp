// The virtual clock itself: waits run the simulated world instead of real time.
#include <gtest/gtest.h>

#include "tests/doubles/engine_harness.h"

namespace pxr9::testing {
namespace {

std::vector<std::uint8_t> statusMessage(std::uint8_t status) {
    return {0xF0, 0x52, 0x00, 0x6E, 0x00, status, 0xF7};
}

TEST(VirtualClock, AWaitWithNothingComingEndsAtItsDeadline) {
    EngineHarness h;
    EXPECT_FALSE(h.state.link.replyEvent.wait(120000));
    EXPECT_EQ(h.world.nowMs(), 120000u);
}

TEST(VirtualClock, AReplyDueBeforeTheDeadlineEndsTheWaitWithItsCode) {
    EngineHarness h;
    h.world.scheduleFromDevice(900, statusMessage(0x0B));
    EXPECT_TRUE(h.state.link.replyEvent.wait(1000));
    EXPECT_EQ(h.state.link.takeAnswer(), Reply::status(11));
    EXPECT_EQ(h.world.nowMs(), 900u);
}

TEST(VirtualClock, AReplyDueAfterTheDeadlineIsTakenByTheNextWait) {
    EngineHarness h;
    h.world.scheduleFromDevice(1500, statusMessage(0x02));
    EXPECT_FALSE(h.state.link.replyEvent.wait(1000));
    EXPECT_EQ(h.world.nowMs(), 1000u);
    h.state.clock.sleep(100);
    EXPECT_EQ(h.world.nowMs(), 1100u);
    EXPECT_TRUE(h.state.link.replyEvent.wait(1000));
    EXPECT_EQ(h.state.link.takeAnswer(), Reply::status(2));
    EXPECT_EQ(h.world.nowMs(), 1500u);
}

TEST(VirtualClock, AReplyArrivingDuringASleepLeavesTheEventSignalled) {
    EngineHarness h;
    h.world.scheduleFromDevice(50, statusMessage(0x00));
    h.state.clock.sleep(100);
    EXPECT_EQ(h.world.nowMs(), 100u);
    EXPECT_TRUE(h.state.link.replyEvent.wait(0));
}

}  // namespace
}  // namespace pxr9::testing
