#include "midi/poll_timer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "midi/receive_queue.h"
#include "tests/doubles/fake_timer_platform.h"

namespace pxr9 {
namespace {

using test::FakeTimerPlatform;
using test::TimerCall;
using test::TimerOp;

struct TickLog {
    std::vector<std::uintptr_t> userData;
};

void recordTick(std::uint32_t, std::uint32_t, std::uintptr_t userData, std::uintptr_t,
                std::uintptr_t) {
    // The user datum of these tests is a TickLog, as the dialog's is its state.
    reinterpret_cast<TickLog*>(userData)->userData.push_back(userData);
}

std::vector<TimerOp> ops(const FakeTimerPlatform& platform) {
    std::vector<TimerOp> result;
    for (const auto& call : platform.calls()) result.push_back(call.op);
    return result;
}

TEST(PollTimerTest, StartRaisesTheResolutionAndTicksWithTheUserDatum) {
    FakeTimerPlatform platform;
    platform.setCaps({3, 500});
    TickLog log;
    const auto user = reinterpret_cast<std::uintptr_t>(&log);
    {
        PollTimer timer(platform);
        EXPECT_EQ(timer.timerId(), 0u);
        timer.start(recordTick, user);
        EXPECT_NE(timer.timerId(), 0u);

        const auto event = platform.lastEvent();
        EXPECT_EQ(event.delayMs, 1u);
        EXPECT_EQ(event.resolution, 3u);
        EXPECT_EQ(event.flags, kTimePeriodic);
        ASSERT_TRUE(platform.tick());
        ASSERT_TRUE(platform.tick());
        EXPECT_EQ(log.userData, (std::vector<std::uintptr_t>{user, user}));

        timer.stop();
        EXPECT_EQ(timer.timerId(), 0u);
        EXPECT_FALSE(platform.tick());
    }
    EXPECT_EQ(ops(platform),
              (std::vector<TimerOp>{TimerOp::GetDevCaps, TimerOp::BeginPeriod, TimerOp::SetEvent,
                                    TimerOp::KillEvent, TimerOp::EndPeriod}));
    const auto calls = platform.calls();
    EXPECT_EQ(calls[1].value, 3u);
    EXPECT_EQ(calls[3].value, calls[2].value);  // the event started is the one killed
    EXPECT_EQ(calls[4].value, 3u);
    EXPECT_EQ(log.userData.size(), 2u);
}

TEST(PollTimerTest, UsesTheFinestPeriodOrOneWhenThereIsNone) {
    struct Case {
        const char* name;
        TimerCaps caps;
        bool readable;
        std::uint32_t period;
    };
    const Case cases[] = {
        {"reported", {4, 100}, true, 4},
        {"unreadable", {4, 100}, false, 1},
        {"reported as zero", {0, 0}, true, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeTimerPlatform platform;
        platform.setCaps(c.caps, c.readable);
        {
            PollTimer timer(platform);
            timer.start(recordTick, 0);
            EXPECT_EQ(platform.lastEvent().resolution, c.period);
        }
        for (const auto& call : platform.calls()) {
            if (call.op == TimerOp::BeginPeriod || call.op == TimerOp::EndPeriod) {
                EXPECT_EQ(call.value, c.period);
            }
        }
    }
}

TEST(PollTimerTest, EveryRaiseOfTheResolutionIsReleasedExactlyOnce) {
    struct Case {
        const char* name;
        bool setEventFails;
        std::function<void(PollTimer&)> use;
        std::size_t raises;
        // Releases already made before the timer is destroyed.
        std::size_t releasesBeforeDestruction;
    };
    const auto start = [](PollTimer& t) { t.start(recordTick, 0); };
    const Case cases[] = {
        {"never started", false, [](PollTimer&) {}, 0, 0},
        {"stopped without a start", false, [](PollTimer& t) { t.stop(); }, 0, 0},
        {"started and stopped", false,
         [&](PollTimer& t) {
             start(t);
             t.stop();
         },
         1, 1},
        {"stopped twice", false,
         [&](PollTimer& t) {
             start(t);
             t.stop();
             t.stop();
         },
         1, 1},
        {"started twice", false,
         [&](PollTimer& t) {
             start(t);
             start(t);
         },
         1, 0},
        {"started, stopped and started again", false,
         [&](PollTimer& t) {
             start(t);
             t.stop();
             start(t);
         },
         2, 1},
        {"destroyed while running", false, start, 1, 0},
        {"event refused", true, start, 1, 0},
        {"event refused, then stopped", true,
         [&](PollTimer& t) {
             start(t);
             t.stop();
         },
         1, 0},
        {"event refused twice", true,
         [&](PollTimer& t) {
             start(t);
             start(t);
         },
         1, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeTimerPlatform platform;
        platform.failSetEvent(c.setEventFails);
        {
            PollTimer timer(platform);
            c.use(timer);
            EXPECT_EQ(platform.count(TimerOp::EndPeriod), c.releasesBeforeDestruction);
        }
        EXPECT_EQ(platform.count(TimerOp::BeginPeriod), c.raises);
        EXPECT_EQ(platform.count(TimerOp::EndPeriod), c.raises);
        EXPECT_EQ(platform.raisedPeriods(), 0);
        EXPECT_FALSE(platform.running());
    }
}

std::vector<TimerCall> callsOf(const FakeTimerPlatform& platform, TimerOp op) {
    std::vector<TimerCall> result;
    for (const auto& call : platform.calls()) {
        if (call.op == op) result.push_back(call);
    }
    return result;
}

// The input side wakes the running timer for each message it queues, and never a timer that
// is stopped or gone.
TEST(PollTimerTest, EachQueuedMessageWakesTheRunningTimer) {
    FakeTimerPlatform platform;
    ReceiveQueue queue;
    const std::uint8_t message[] = {0xF0, 0x7E, 0x7F, 0x06, 0x02, 0xF7};
    TickLog log;
    {
        PollTimer timer(platform, queue);
        queue.append(message, sizeof message);  // not running: nobody to wake
        EXPECT_TRUE(callsOf(platform, TimerOp::WakeEvent).empty());

        // What waited while the timer was stopped is taken at once when it starts.
        timer.start(recordTick, reinterpret_cast<std::uintptr_t>(&log));
        const std::uint32_t id = timer.timerId();
        ASSERT_EQ(callsOf(platform, TimerOp::WakeEvent).size(), 1u);
        queue.popHead();
        queue.append(message, sizeof message);
        queue.append(message, sizeof message);
        const auto wakes = callsOf(platform, TimerOp::WakeEvent);
        ASSERT_EQ(wakes.size(), 3u);
        for (const auto& wake : wakes) EXPECT_EQ(wake.value, id);

        timer.stop();
        queue.append(message, sizeof message);
        EXPECT_EQ(callsOf(platform, TimerOp::WakeEvent).size(), 3u);
        timer.start(recordTick, reinterpret_cast<std::uintptr_t>(&log));
        EXPECT_EQ(callsOf(platform, TimerOp::WakeEvent).size(), 4u);
    }
    // The timer is gone; a message queued now reaches nothing (ASan would see it).
    queue.append(message, sizeof message);
    EXPECT_EQ(callsOf(platform, TimerOp::WakeEvent).size(), 4u);
    // No tick ran on its own: waking only asks the platform for one.
    EXPECT_TRUE(log.userData.empty());
}

TEST(PollTimerTest, DrainAndStopRunsOneLastTickBeforeTheStop) {
    FakeTimerPlatform platform;
    TickLog log;
    {
        PollTimer timer(platform);
        timer.drainAndStop();  // not running: nothing to drain
        EXPECT_TRUE(callsOf(platform, TimerOp::FlushEvent).empty());

        timer.start(recordTick, reinterpret_cast<std::uintptr_t>(&log));
        const std::uint32_t id = timer.timerId();
        timer.drainAndStop();
        EXPECT_FALSE(timer.running());
        EXPECT_EQ(log.userData.size(), 1u);
        const auto calls = platform.calls();
        ASSERT_GE(calls.size(), 3u);
        EXPECT_EQ(calls[calls.size() - 3].op, TimerOp::FlushEvent);
        EXPECT_EQ(calls[calls.size() - 3].value, id);
        EXPECT_EQ(calls[calls.size() - 2].op, TimerOp::KillEvent);
        EXPECT_EQ(calls[calls.size() - 1].op, TimerOp::EndPeriod);
    }
    EXPECT_EQ(platform.raisedPeriods(), 0);
    EXPECT_EQ(log.userData.size(), 1u);
}

}  // namespace
}  // namespace pxr9
