#include "tests/support/fake_timer_platform.h"

#include <algorithm>

namespace pxr9::test {

int FakeTimerPlatform::getDevCaps(TimerCaps& caps) {
    std::lock_guard lock(mutex_);
    calls_.push_back({TimerOp::GetDevCaps, 0});
    if (!capsReadable_) return kFakeTimerError;
    caps = caps_;
    return 0;
}

int FakeTimerPlatform::beginPeriod(std::uint32_t period) {
    std::lock_guard lock(mutex_);
    calls_.push_back({TimerOp::BeginPeriod, period});
    raised_.push_back(period);
    return 0;
}

int FakeTimerPlatform::endPeriod(std::uint32_t period) {
    std::lock_guard lock(mutex_);
    calls_.push_back({TimerOp::EndPeriod, period});
    auto it = std::find(raised_.begin(), raised_.end(), period);
    if (it == raised_.end()) return kFakeTimerError;  // nothing of that value to release
    raised_.erase(it);
    return 0;
}

std::uint32_t FakeTimerPlatform::setEvent(std::uint32_t delayMs, std::uint32_t resolution,
                                          TimerCallback callback, std::uintptr_t userData,
                                          std::uint32_t flags) {
    std::lock_guard lock(mutex_);
    last_ = {delayMs, resolution, flags, userData};
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

int FakeTimerPlatform::killEvent(std::uint32_t timerId) {
    std::unique_lock lock(mutex_);
    calls_.push_back({TimerOp::KillEvent, timerId});
    if (timerId == 0 || timerId != liveId_) return kFakeTimerError;
    liveId_ = 0;  // no tick starts from here on
    ticksDone_.wait(lock, [this] { return ticksRunning_ == 0; });
    return 0;
}

void FakeTimerPlatform::setCaps(TimerCaps caps, bool readable) {
    std::lock_guard lock(mutex_);
    caps_ = caps;
    capsReadable_ = readable;
}

void FakeTimerPlatform::failSetEvent(bool fail) {
    std::lock_guard lock(mutex_);
    failSetEvent_ = fail;
}

bool FakeTimerPlatform::tick() {
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

bool FakeTimerPlatform::running() const {
    std::lock_guard lock(mutex_);
    return liveId_ != 0;
}

FakeTimerPlatform::EventArgs FakeTimerPlatform::lastEvent() const {
    std::lock_guard lock(mutex_);
    return last_;
}

std::vector<TimerCall> FakeTimerPlatform::calls() const {
    std::lock_guard lock(mutex_);
    return calls_;
}

std::size_t FakeTimerPlatform::count(TimerOp op) const {
    std::lock_guard lock(mutex_);
    return static_cast<std::size_t>(std::count_if(calls_.begin(), calls_.end(),
                                                  [op](const TimerCall& c) { return c.op == op; }));
}

int FakeTimerPlatform::raisedPeriods() const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(raised_.size());
}

}  // namespace pxr9::test
