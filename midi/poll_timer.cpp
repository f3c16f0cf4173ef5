#include "midi/poll_timer.h"

namespace pxr9 {

PollTimer::PollTimer(TimerPlatform& platform) : platform_(platform) {
    // Without readable capabilities (or with a nonsensical finest period) tick at 1 ms.
    if (platform_.getDevCaps(caps_) != 0 || caps_.periodMin == 0) {
        caps_.periodMin = 1;
    }
}

PollTimer::PollTimer(TimerPlatform& platform, ReceiveQueue& queue) : PollTimer(platform) {
    queue_ = &queue;
    queue_->setListener(this);
}

PollTimer::~PollTimer() {
    // No wake reaches this timer once the queue has let go of it.
    if (queue_ != nullptr) queue_->setListener(nullptr);
    stop();
    // A start whose event could not be made still raised the resolution.
    if (periodRaised_) {
        platform_.endPeriod(caps_.periodMin);
        periodRaised_ = false;
    }
}

void PollTimer::start(TimerCallback callback, std::uintptr_t userData) {
    if (timerId_.load() != 0) return;  // already running
    // A raise left by a start whose event failed is reused rather than raised again.
    if (!periodRaised_) {
        platform_.beginPeriod(caps_.periodMin);
        periodRaised_ = true;
    }
    timerId_.store(platform_.setEvent(1, caps_.periodMin, callback, userData, kTimePeriodic));
    // Whatever waited in the queue while the timer was stopped need not wait for the period.
    if (queue_ != nullptr && !queue_->empty()) wake();
}

void PollTimer::stop() {
    const std::uint32_t id = timerId_.load();
    if (id != 0) {
        platform_.killEvent(id);
        platform_.endPeriod(caps_.periodMin);
        periodRaised_ = false;
    }
    timerId_.store(0);
}

void PollTimer::drainAndStop() {
    const std::uint32_t id = timerId_.load();
    if (id != 0) platform_.flushEvent(id);
    stop();
}

void PollTimer::wake() {
    const std::uint32_t id = timerId_.load();
    if (id != 0) platform_.wakeEvent(id);
}

}  // namespace pxr9
