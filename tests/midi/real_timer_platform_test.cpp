#include "platform/real_timer_platform.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <latch>
#include <mutex>
#include <thread>

#include "midi/poll_timer.h"
#include "midi/receive_queue.h"

namespace pxr9 {
namespace {

using namespace std::chrono_literals;

// What a tick callback shares with its test.
struct Ticks {
    std::mutex mutex;
    std::condition_variable changed;
    int count = 0;
    std::atomic<int> running{0};
    std::atomic<bool> overlapped{false};

    void waitFor(int n) {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return count >= n; });
    }
    int current() {
        std::lock_guard lock(mutex);
        return count;
    }
};

void countTick(std::uint32_t, std::uint32_t, std::uintptr_t userData, std::uintptr_t,
               std::uintptr_t) {
    auto& ticks = *reinterpret_cast<Ticks*>(userData);
    if (ticks.running.fetch_add(1) != 0) ticks.overlapped = true;
    {
        std::lock_guard lock(ticks.mutex);
        ++ticks.count;
    }
    ticks.changed.notify_all();
    ticks.running.fetch_sub(1);
}

TEST(RealTimerPlatformTest, ThePollTimerTicksUntilStopped) {
    RealTimerPlatform platform;
    Ticks ticks;
    {
        PollTimer timer(platform);
        timer.start(countTick, reinterpret_cast<std::uintptr_t>(&ticks));
        ASSERT_NE(timer.timerId(), 0u);
        EXPECT_EQ(platform.raisedPeriods(), 1);
        ticks.waitFor(3);

        timer.stop();
        // The event's thread is gone: no tick can start any more.
        EXPECT_EQ(platform.liveEvents(), 0);
        EXPECT_EQ(platform.raisedPeriods(), 0);
    }
    EXPECT_FALSE(ticks.overlapped);
    EXPECT_EQ(ticks.running, 0);
}

// A tick that blocks until the test lets it go.
struct BlockingTick {
    std::latch entered{1};
    std::latch release{1};
    std::atomic<int> calls{0};
};

void blockOnFirstTick(std::uint32_t, std::uint32_t, std::uintptr_t userData, std::uintptr_t,
                      std::uintptr_t) {
    auto& tick = *reinterpret_cast<BlockingTick*>(userData);
    if (tick.calls.fetch_add(1) == 0) {
        tick.entered.count_down();
        tick.release.wait();
    }
}

TEST(RealTimerPlatformTest, StopWaitsOutARunningTick) {
    RealTimerPlatform platform;
    BlockingTick tick;
    PollTimer timer(platform);
    timer.start(blockOnFirstTick, reinterpret_cast<std::uintptr_t>(&tick));
    tick.entered.wait();

    std::atomic<bool> stopReturned{false};
    std::thread stopper([&] {
        timer.stop();
        stopReturned = true;
    });
    for (int i = 0; i < 10000 && !stopReturned; ++i) std::this_thread::yield();
    EXPECT_FALSE(stopReturned);

    tick.release.count_down();
    stopper.join();
    EXPECT_TRUE(stopReturned);
    EXPECT_EQ(platform.liveEvents(), 0);
    const int callsAtStop = tick.calls;
    EXPECT_GE(callsAtStop, 1);
    EXPECT_EQ(platform.raisedPeriods(), 0);
}

struct SelfKill {
    RealTimerPlatform* platform = nullptr;
    std::atomic<std::uint32_t> id{0};
    std::latch done{1};
    std::atomic<int> result{-1};
    std::atomic<int> flushResult{-1};
    std::atomic<bool> tried{false};
};

void killOwnEvent(std::uint32_t timerId, std::uint32_t, std::uintptr_t userData, std::uintptr_t,
                  std::uintptr_t) {
    auto& self = *reinterpret_cast<SelfKill*>(userData);
    if (self.tried.exchange(true)) return;
    self.flushResult = self.platform->flushEvent(timerId);
    self.result = self.platform->killEvent(timerId);
    self.done.count_down();
}

// Either would wait for the very tick that asks.
TEST(RealTimerPlatformTest, KillingOrFlushingAnEventFromInsideItsTickIsRefused) {
    RealTimerPlatform platform;
    SelfKill self;
    self.platform = &platform;
    const std::uint32_t id = platform.setEvent(
        1, 1, killOwnEvent, reinterpret_cast<std::uintptr_t>(&self), kTimePeriodic);
    ASSERT_NE(id, 0u);
    self.done.wait();

    EXPECT_EQ(self.result, kTimerNoCanDo);
    EXPECT_EQ(self.flushResult, kTimerNoCanDo);
    EXPECT_EQ(platform.killEvent(id), 0);
    EXPECT_EQ(platform.killEvent(id), kTimerNoCanDo);  // already gone
    EXPECT_EQ(platform.liveEvents(), 0);
}

TEST(RealTimerPlatformTest, RefusesEventsItCannotRun) {
    RealTimerPlatform platform;
    Ticks ticks;
    const auto user = reinterpret_cast<std::uintptr_t>(&ticks);
    EXPECT_EQ(platform.setEvent(0, 1, countTick, user, kTimePeriodic), 0u);
    EXPECT_EQ(platform.setEvent(1, 1, nullptr, user, kTimePeriodic), 0u);
    EXPECT_EQ(platform.setEvent(1, 1, countTick, user, 0), 0u);
    EXPECT_EQ(platform.liveEvents(), 0);
    EXPECT_EQ(platform.killEvent(0), kTimerNoCanDo);
    EXPECT_EQ(platform.flushEvent(0), kTimerNoCanDo);
    platform.wakeEvent(0);  // nothing to wake
}

TEST(RealTimerPlatformTest, ResolutionCallsOnlyKeepCount) {
    RealTimerPlatform platform;
    TimerCaps caps;
    EXPECT_EQ(platform.getDevCaps(caps), 0);
    EXPECT_EQ(caps.periodMin, 1u);
    EXPECT_NE(platform.endPeriod(1), 0);  // nothing raised
    EXPECT_EQ(platform.beginPeriod(1), 0);
    EXPECT_EQ(platform.beginPeriod(1), 0);
    EXPECT_EQ(platform.raisedPeriods(), 2);
    EXPECT_EQ(platform.endPeriod(1), 0);
    EXPECT_EQ(platform.endPeriod(1), 0);
    EXPECT_EQ(platform.raisedPeriods(), 0);
}

TEST(RealTimerPlatformTest, AnOverrunningTickDropsTheTicksItMissed) {
    const auto due = std::chrono::steady_clock::time_point{} + 1000ms;
    struct Case {
        const char* name;
        std::chrono::microseconds finishedAfterDue;
        std::chrono::microseconds nextAfterDue;
    };
    const Case cases[] = {
        {"finished at once", 0us, 1000us},
        {"finished within its period", 900us, 1000us},
        {"finished exactly when the next was due", 1000us, 2000us},
        {"overran a little", 1100us, 2100us},
        {"overran by several periods", 7000us, 8000us},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(nextTickDue(due, due + c.finishedAfterDue, 1ms), due + c.nextAfterDue);
    }
}

TEST(RealTimerPlatformTest, DestructionStopsEventsStillRunning) {
    Ticks ticks;
    {
        RealTimerPlatform platform;
        ASSERT_NE(platform.setEvent(1, 1, countTick, reinterpret_cast<std::uintptr_t>(&ticks),
                                    kTimePeriodic),
                  0u);
        ticks.waitFor(1);
    }
    // Every thread joined: the count no longer moves and nothing runs.
    EXPECT_EQ(ticks.running, 0);
    EXPECT_GE(ticks.current(), 1);
}

// A period no test outlives: every tick below comes from a wake or a flush.
constexpr std::uint32_t kHourMs = 3'600'000;

TEST(RealTimerPlatformTest, AWakeBringsTheNextTickForward) {
    RealTimerPlatform platform;
    Ticks ticks;
    const std::uint32_t id = platform.setEvent(
        kHourMs, 1, countTick, reinterpret_cast<std::uintptr_t>(&ticks), kTimePeriodic);
    ASSERT_NE(id, 0u);
    platform.wakeEvent(id);
    ticks.waitFor(1);
    platform.wakeEvent(id);
    ticks.waitFor(2);
    EXPECT_EQ(platform.killEvent(id), 0);
    platform.wakeEvent(id);  // gone: nothing happens
    EXPECT_EQ(ticks.current(), 2);
    EXPECT_FALSE(ticks.overlapped);
}

// The first tick blocks until the test lets it go; every tick is counted.
struct GatedTicks {
    std::latch entered{1};
    std::latch release{1};
    Ticks ticks;
};

void gateFirstTick(std::uint32_t timerId, std::uint32_t message, std::uintptr_t userData,
                   std::uintptr_t, std::uintptr_t) {
    auto& gated = *reinterpret_cast<GatedTicks*>(userData);
    if (gated.ticks.current() == 0) {
        gated.entered.count_down();
        gated.release.wait();
    }
    countTick(timerId, message, reinterpret_cast<std::uintptr_t>(&gated.ticks), 0, 0);
}

// A periodic event woken once, its first tick held inside until `gated.release`.
class RealTimerTickHeld : public ::testing::Test {
  protected:
    RealTimerTickHeld() {
        platform.wakeEvent(id);
        gated.entered.wait();
    }

    RealTimerPlatform platform;
    GatedTicks gated;
    const std::uint32_t id = platform.setEvent(
        kHourMs, 1, gateFirstTick, reinterpret_cast<std::uintptr_t>(&gated), kTimePeriodic);
};

// A message queued while the dispatcher is still busy with the last one is not left for the
// period: the wake that came during the tick runs another one straight after it.
TEST_F(RealTimerTickHeld, AWakeDuringATickRunsAnotherRightAfterIt) {
    platform.wakeEvent(id);
    gated.release.count_down();
    gated.ticks.waitFor(2);
    EXPECT_EQ(platform.killEvent(id), 0);
    EXPECT_FALSE(gated.ticks.overlapped);
}

// Flushing while a tick runs waits for that one and then for one more, which sees whatever
// was queued before the flush.
TEST_F(RealTimerTickHeld, FlushDuringATickWaitsForItAndOneMore) {
    std::atomic<int> ticksAtFlush{-1};
    std::thread flusher([&] {
        EXPECT_EQ(platform.flushEvent(id), 0);
        ticksAtFlush = gated.ticks.current();
    });
    // Most often the flush is waiting by now; the count below holds either way.
    for (int i = 0; i < 10000; ++i) std::this_thread::yield();
    gated.release.count_down();
    flusher.join();
    EXPECT_EQ(ticksAtFlush, 2);
    EXPECT_EQ(platform.killEvent(id), 0);
}

TEST(RealTimerPlatformTest, FlushReturnsOnceATickStartedAfterItHasFinished) {
    RealTimerPlatform platform;
    Ticks ticks;
    const std::uint32_t id = platform.setEvent(
        kHourMs, 1, countTick, reinterpret_cast<std::uintptr_t>(&ticks), kTimePeriodic);
    EXPECT_EQ(platform.flushEvent(id), 0);
    EXPECT_EQ(ticks.current(), 1);
    EXPECT_EQ(platform.flushEvent(id), 0);
    EXPECT_EQ(ticks.current(), 2);
    EXPECT_EQ(platform.killEvent(id), 0);
    EXPECT_EQ(platform.flushEvent(id), kTimerNoCanDo);
}

// The input side against the poll timer with real threads: every message wakes the timer,
// which takes it off the queue; once the input has stopped, drainAndStop leaves nothing
// behind, whatever the timing.
TEST(RealTimerPlatformTest, QueuedMessagesAreAllTakenAndDrainAndStopLeavesNoneBehind) {
    constexpr int kMessages = 20000;
    RealTimerPlatform platform;
    ReceiveQueue queue;
    struct Consumer {
        ReceiveQueue* queue;
        std::atomic<int> taken{0};
    } consumer{&queue};
    PollTimer timer(platform, queue);
    timer.start(
        [](std::uint32_t, std::uint32_t, std::uintptr_t userData, std::uintptr_t, std::uintptr_t) {
            auto& c = *reinterpret_cast<Consumer*>(userData);
            while (c.queue->head() != nullptr) {
                c.queue->popHead();
                c.taken.fetch_add(1);
            }
        },
        reinterpret_cast<std::uintptr_t>(&consumer));
    std::thread producer([&] {
        const std::uint8_t message[] = {0xF0, 0x52, 0x00, 0x01, 0x00, 0x00, 0xF7};
        for (int i = 0; i < kMessages; ++i) queue.append(message, sizeof message);
    });
    producer.join();
    timer.drainAndStop();
    EXPECT_EQ(consumer.taken.load(), kMessages);
    EXPECT_TRUE(queue.empty());
    EXPECT_EQ(platform.liveEvents(), 0);
    EXPECT_EQ(platform.raisedPeriods(), 0);
}

}  // namespace
}  // namespace pxr9
