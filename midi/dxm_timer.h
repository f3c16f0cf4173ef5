#pragma once

#include <cstdint>

#include "midi/timer_platform.h"

namespace pxr9 {

// The 1 ms poll timer that runs the reply dispatcher for the life of the dialog.
class CDxMTimer {
public:
    explicit CDxMTimer(TimerPlatform& platform);
    ~CDxMTimer();
    CDxMTimer(const CDxMTimer&) = delete;
    CDxMTimer& operator=(const CDxMTimer&) = delete;

    void start(TimerCallback callback, std::uintptr_t userData);
    // Returns only after a running tick has finished; no tick starts afterwards.
    void stop();
    std::uint32_t timerId() const { return timerId_; }

private:
    TimerPlatform& platform_;
    TimerCaps caps_;
    std::uint32_t timerId_ = 0;
    bool periodRaised_ = false;
};

}  // namespace pxr9
