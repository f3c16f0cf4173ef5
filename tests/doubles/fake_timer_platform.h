#pragma once

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

#include "midi/timer_platform.h"

namespace pxr9::test {

// What the fake returns where a real timer service would refuse.
inline constexpr int kFakeTimerError = 97;

enum class TimerOp {
    GetDevCaps,
    BeginPeriod,
    EndPeriod,
    SetEvent,
    KillEvent,
    WakeEvent,
    FlushEvent
};

struct TimerCall {
    TimerOp op;
    std::uint32_t value = 0;  // the period, or the event id (0 for a failed SetEvent)
};

// A timer platform whose ticks run only when a test calls tick(), or flushEvent asks for one
// (it runs on the caller's thread). A wake is only recorded. Records every call in order.
// Like a real one, killEvent waits out a tick that is running and no tick starts after it
// has returned.
class FakeTimerPlatform final : public TimerPlatform {
  public:
    int getDevCaps(TimerCaps& caps) override;
    int beginPeriod(std::uint32_t period) override;
    int endPeriod(std::uint32_t period) override;
    std::uint32_t setEvent(std::uint32_t delayMs, std::uint32_t resolution, TimerCallback callback,
                           std::uintptr_t userData, std::uint32_t flags) override;
    int killEvent(std::uint32_t timerId) override;
    void wakeEvent(std::uint32_t timerId) override;
    int flushEvent(std::uint32_t timerId) override;

    void setCaps(TimerCaps caps, bool readable = true);
    void failSetEvent(bool fail);

    // Runs the callback of the live event once on the calling thread; false when none.
    bool tick();
    bool running() const;

    struct EventArgs {
        TimerCallback callback = nullptr;
        std::uint32_t delayMs = 0;
        std::uint32_t resolution = 0;
        std::uint32_t flags = 0;
        std::uintptr_t userData = 0;
    };
    EventArgs lastEvent() const;

    std::vector<TimerCall> calls() const;
    std::size_t count(TimerOp op) const;
    // Raises of the resolution not yet released.
    int raisedPeriods() const;

  private:
    mutable std::mutex mutex_;
    std::condition_variable ticksDone_;
    TimerCaps caps_{1, 1'000'000};
    bool capsReadable_ = true;
    bool failSetEvent_ = false;
    std::vector<TimerCall> calls_;
    std::vector<std::uint32_t> raised_;
    std::uint32_t liveId_ = 0;
    TimerCallback callback_ = nullptr;
    std::uintptr_t userData_ = 0;
    EventArgs last_;
    int ticksRunning_ = 0;
    std::uint32_t nextId_ = 1;
};

// Defined here so that any target can use the fakes with nothing more to link.

inline int FakeTimerPlatform::getDevCaps(TimerCaps& caps) {
    std::lock_guard lock(mutex_);
    calls_.push_back({TimerOp::GetDevCaps, 0});
    if (!capsReadable_) return kFakeTimerError;
    caps = caps_;
    return 0;
}

inline int FakeTimerPlatform::beginPeriod(std::uint32_t period) {
    std::lock_guard lock(mutex_);
    calls_.push_back({TimerOp::BeginPeriod, period});
    raised_.push_back(period);
    return 0;
}

inline int FakeTimerPlatform::endPeriod(std::uint32_t period) {
    std::lock_guard lock(mutex_);
    calls_.push_back({TimerOp::EndPeriod, period});
    auto it = std::find(raised_.begin(), raised_.end(), period);
    if (it == raised_.end()) return kFakeTimerError;  // nothing of that value to release
    raised_.erase(it);
    return 0;
}

inline std::uint32_t FakeTimerPlatform::setEvent(std::uint32_t delayMs, std::uint32_t resolution,
                                                 TimerCallback callback, std::uintptr_t userData,
                                                 std::uint32_t flags) {
    std::lock_guard lock(mutex_);
    last_ = {callback, delayMs, resolution, flags, userData};
    if (failSetEvent_ || callback == nullptr || liveId_ != 0) {
        calls_.push_back({TimerOp::SetEvent, 0});
        return 0;
    }
    liveId_ = nextId_++;
    callback_ = callback;
    userData_ = userData;
    calls_.push_back({TimerOp::SetEvent, liveId_});
    return liveId_;
}

inline int FakeTimerPlatform::killEvent(std::uint32_t timerId) {
    std::unique_lock lock(mutex_);
    calls_.push_back({TimerOp::KillEvent, timerId});
    if (timerId == 0 || timerId != liveId_) return kFakeTimerError;
    liveId_ = 0;  // no tick starts from here on
    ticksDone_.wait(lock, [this] { return ticksRunning_ == 0; });
    return 0;
}

inline void FakeTimerPlatform::wakeEvent(std::uint32_t timerId) {
    std::lock_guard lock(mutex_);
    calls_.push_back({TimerOp::WakeEvent, timerId});
}

inline int FakeTimerPlatform::flushEvent(std::uint32_t timerId) {
    {
        std::lock_guard lock(mutex_);
        calls_.push_back({TimerOp::FlushEvent, timerId});
        if (timerId == 0 || timerId != liveId_) return kFakeTimerError;
    }
    tick();
    return 0;
}

inline void FakeTimerPlatform::setCaps(TimerCaps caps, bool readable) {
    std::lock_guard lock(mutex_);
    caps_ = caps;
    capsReadable_ = readable;
}

inline void FakeTimerPlatform::failSetEvent(bool fail) {
    std::lock_guard lock(mutex_);
    failSetEvent_ = fail;
}

inline bool FakeTimerPlatform::tick() {
    std::unique_lock lock(mutex_);
    if (liveId_ == 0) return false;
    const std::uint32_t id = liveId_;
    const TimerCallback callback = callback_;
    const std::uintptr_t userData = userData_;
    ++ticksRunning_;
    lock.unlock();
    callback(id, 0, userData, 0, 0);
    lock.lock();
    --ticksRunning_;
    ticksDone_.notify_all();
    return true;
}

inline bool FakeTimerPlatform::running() const {
    std::lock_guard lock(mutex_);
    return liveId_ != 0;
}

inline FakeTimerPlatform::EventArgs FakeTimerPlatform::lastEvent() const {
    std::lock_guard lock(mutex_);
    return last_;
}

inline std::vector<TimerCall> FakeTimerPlatform::calls() const {
    std::lock_guard lock(mutex_);
    return calls_;
}

inline std::size_t FakeTimerPlatform::count(TimerOp op) const {
    std::lock_guard lock(mutex_);
    return static_cast<std::size_t>(std::count_if(calls_.begin(), calls_.end(),
                                                  [op](const TimerCall& c) { return c.op == op; }));
}

inline int FakeTimerPlatform::raisedPeriods() const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(raised_.size());
}

}  // namespace pxr9::test
