#include "midi/dispatch_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

namespace pxr9::testing {
namespace {

const std::uint8_t kMessage[] = {0xF0, 0x52, 0x00, 0x6E, 0x00, 0x00, 0xF7};

// A dispatch that takes everything queued, as the reply dispatcher does, and can be held
// inside a run so a test can act while one is in progress.
class DrainingDispatch {
  public:
    explicit DrainingDispatch(ReceiveQueue& queue) : queue_(queue) {}

    void operator()() {
        std::unique_lock lock(mutex_);
        ++running_;
        changed_.notify_all();
        changed_.wait(lock, [this] { return !held_; });
        while (queue_.head() != nullptr) {
            queue_.popHead();
            ++taken_;
        }
        --running_;
        ++runs_;
        changed_.notify_all();
    }

    void hold(bool held) {
        {
            std::lock_guard lock(mutex_);
            held_ = held;
        }
        changed_.notify_all();
    }
    void waitUntilRunning() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return running_ > 0; });
    }
    int taken() {
        std::lock_guard lock(mutex_);
        return taken_;
    }
    int runs() {
        std::lock_guard lock(mutex_);
        return runs_;
    }
    int running() {
        std::lock_guard lock(mutex_);
        return running_;
    }

  private:
    ReceiveQueue& queue_;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool held_ = false;
    int running_ = 0;
    int runs_ = 0;
    int taken_ = 0;
};

TEST(DispatchThreadTest, EachArrivalIsDispatchedAndWhatWaitedBeforeTheStartToo) {
    ReceiveQueue queue;
    DispatchThread thread(queue);
    DrainingDispatch dispatch(queue);
    queue.append(kMessage, sizeof kMessage);  // before the start: dispatched at once
    thread.start([&] { dispatch(); });
    thread.waitDispatched();
    EXPECT_EQ(dispatch.taken(), 1);
    for (int i = 0; i < 100; ++i) queue.append(kMessage, sizeof kMessage);
    thread.waitDispatched();
    EXPECT_EQ(dispatch.taken(), 101);
    EXPECT_TRUE(queue.empty());
    thread.start([] { FAIL() << "a second start replaced the dispatch"; });
    queue.append(kMessage, sizeof kMessage);
    thread.waitDispatched();
    EXPECT_EQ(dispatch.taken(), 102);
}

TEST(DispatchThreadTest, AnEndedInputIsDispatchedLikeAMessage) {
    ReceiveQueue queue;
    DispatchThread thread(queue);
    std::atomic<int> sawEnd{0};
    thread.start([&] { sawEnd += queue.ended() ? 1 : 0; });
    thread.waitDispatched();
    queue.markEnded();
    thread.waitDispatched();
    EXPECT_GE(sawEnd.load(), 1);
}

TEST(DispatchThreadTest, StopWaitsOutARunningDispatchAndNoneStartsAfterIt) {
    ReceiveQueue queue;
    DispatchThread thread(queue);
    DrainingDispatch dispatch(queue);
    dispatch.hold(true);
    thread.start([&] { dispatch(); });
    dispatch.waitUntilRunning();
    std::thread stopper([&] { thread.stop(); });
    // The stop cannot return while the dispatch is held: release it, then the stop ends.
    dispatch.hold(false);
    stopper.join();
    EXPECT_EQ(dispatch.running(), 0);
    EXPECT_FALSE(thread.running());
    const int runs = dispatch.runs();
    queue.append(kMessage, sizeof kMessage);
    thread.waitDispatched();  // returns at once: nothing runs
    EXPECT_EQ(dispatch.runs(), runs);
    EXPECT_FALSE(queue.empty());
}

TEST(DispatchThreadTest, DrainAndStopLeavesNothingQueuedBehind) {
    ReceiveQueue queue;
    DispatchThread thread(queue);
    DrainingDispatch dispatch(queue);
    dispatch.hold(true);
    thread.start([&] { dispatch(); });
    dispatch.waitUntilRunning();
    std::thread stopper([&] { thread.drainAndStop(); });
    // Arrivals during the held dispatch and the stop are taken by the last dispatch.
    for (int i = 0; i < 5; ++i) queue.append(kMessage, sizeof kMessage);
    dispatch.hold(false);
    stopper.join();
    EXPECT_TRUE(queue.empty());
    EXPECT_EQ(dispatch.taken(), 5);
    EXPECT_FALSE(thread.running());

    // It starts again for the next ports.
    thread.start([&] { dispatch(); });
    queue.append(kMessage, sizeof kMessage);
    thread.waitDispatched();
    EXPECT_EQ(dispatch.taken(), 6);
}

TEST(DispatchThreadTest, AStopFromInsideADispatchEndsTheThreadWithoutWaitingForItself) {
    ReceiveQueue queue;
    auto thread = std::make_unique<DispatchThread>(queue);
    std::atomic<int> runs{0};
    thread->start([&] {
        ++runs;
        thread->stop();
    });
    thread->waitDispatched();
    EXPECT_FALSE(thread->running());
    thread.reset();  // joins the thread that stopped itself
    EXPECT_EQ(runs.load(), 1);
}

}  // namespace
}  // namespace pxr9::testing
