#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

#include "midi/timer_platform.h"

namespace pxr9::test {

// What the fake returns where a real timer service would refuse.
inline constexpr int kFakeTimerError = 97;

enum class TimerOp { GetDevCaps, BeginPeriod, EndPeriod, SetEvent, KillEvent };

struct TimerCall {
    TimerOp op;
    std::uint32_t value = 0;  // the period, or the event id (0 for a failed SetEvent)
};

// A timer platform whose ticks run only when a test calls tick(). Records every call in
// order. Like a real one, killEvent waits out a tick that is running and no tick starts
// after it has returned.
class FakeTimerPlatform final : public TimerPlatform {
public:
    int getDevCaps(TimerCaps& caps) override;
    int beginPeriod(std::uint32_t period) override;
    int endPeriod(std::uint32_t period) override;
    std::uint32_t setEvent(std::uint32_t delayMs, std::uint32_t resolution, TimerCallback callback,
                           std::uintptr_t userData, std::uint32_t flags) override;
    int killEvent(std::uint32_t timerId) override;

    void setCaps(TimerCaps caps, bool readable = true);
    void failSetEvent(bool fail);

    // Runs the callback of the live event once on the calling thread; false when none.
    bool tick();
    bool running() const;

    struct EventArgs {
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

}  // namespace pxr9::test
