#include "midi/dxm_timer.h"

namespace pxr9 {

CDxMTimer::CDxMTimer(TimerPlatform& platform) : platform_(platform) {
    // Without readable capabilities (or with a nonsensical finest period) tick at 1 ms.
    if (platform_.getDevCaps(caps_) != 0 || caps_.periodMin == 0) {
        caps_.periodMin = 1;
    }
}

CDxMTimer::~CDxMTimer() {
    stop();
    // A start whose event could not be made still raised the resolution.
    if (periodRaised_) {
        platform_.endPeriod(caps_.periodMin);
        periodRaised_ = false;
    }
}

void CDxMTimer::start(TimerCallback callback, std::uintptr_t userData) {
    if (timerId_ != 0) return;  // already running
    // A raise left by a start whose event failed is reused rather than raised again.
    if (!periodRaised_) {
        platform_.beginPeriod(caps_.periodMin);
        periodRaised_ = true;
    }
    timerId_ = platform_.setEvent(1, caps_.periodMin, callback, userData, kTimePeriodic);
}

void CDxMTimer::stop() {
    if (timerId_ != 0) {
        platform_.killEvent(timerId_);
        platform_.endPeriod(caps_.periodMin);
        periodRaised_ = false;
    }
    timerId_ = 0;
}

}  // namespace pxr9
