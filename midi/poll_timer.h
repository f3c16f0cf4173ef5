#pragma once

#include <atomic>
#include <cstdint>

#include "midi/receive_queue.h"
#include "midi/timer_platform.h"

namespace pxr9 {

// The 1 ms poll timer that runs the reply dispatcher while ports are open. Given the receive
// queue, it also ticks at once whenever a message is queued, so a reply is dispatched when it
// arrives rather than on the next millisecond.
class PollTimer final : private ArrivalListener {
  public:
    explicit PollTimer(TimerPlatform& platform);
    // The queue must outlive the timer.
    PollTimer(TimerPlatform& platform, ReceiveQueue& queue);
    ~PollTimer();
    PollTimer(const PollTimer&) = delete;
    PollTimer& operator=(const PollTimer&) = delete;

    // Does nothing while running.
    void start(TimerCallback callback, std::uintptr_t userData);
    // Returns only after a running tick has finished; no tick starts afterwards.
    void stop();
    // For when nothing more can arrive: one last tick takes what is still queued, then stop.
    void drainAndStop();
    // From any thread: the next tick runs now.
    void wake();
    std::uint32_t timerId() const { return timerId_.load(); }
    bool running() const { return timerId() != 0; }

  private:
    void messageQueued() override { wake(); }

    TimerPlatform& platform_;
    ReceiveQueue* queue_ = nullptr;
    TimerCaps caps_;
    // Read by wake() on the input side while the owner's thread starts and stops.
    std::atomic<std::uint32_t> timerId_{0};
    bool periodRaised_ = false;
};

}  // namespace pxr9
