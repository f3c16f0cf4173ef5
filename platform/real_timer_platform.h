#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>

#include "midi/timer_platform.h"

namespace pxr9 {

// Result of a timer call that cannot be done (unknown event, kill from inside a tick).
inline constexpr int kTimerNoCanDo = 97;

// When the tick after one due at `due` is due, given that the tick finished at `now`: one
// period later, or one period after `now` when the tick overran, so missed ticks are
// dropped rather than run back to back.
std::chrono::steady_clock::time_point nextTickDue(std::chrono::steady_clock::time_point due,
                                                  std::chrono::steady_clock::time_point now,
                                                  std::chrono::milliseconds period);

// Periodic ticks from the standard library: each event runs on a thread of its own, so its
// ticks never overlap, and a wake brings its next tick forward. The resolution calls only
// keep count; the steady clock needs no raising here.
class RealTimerPlatform final : public TimerPlatform {
  public:
    RealTimerPlatform();
    ~RealTimerPlatform() override;
    RealTimerPlatform(const RealTimerPlatform&) = delete;
    RealTimerPlatform& operator=(const RealTimerPlatform&) = delete;

    int getDevCaps(TimerCaps& caps) override;
    int beginPeriod(std::uint32_t period) override;
    int endPeriod(std::uint32_t period) override;
    // Periodic events only (flags must hold kTimePeriodic); 0 when none could be made.
    std::uint32_t setEvent(std::uint32_t delayMs, std::uint32_t resolution, TimerCallback callback,
                           std::uintptr_t userData, std::uint32_t flags) override;
    // Refused (kTimerNoCanDo) from inside a tick of this platform, where waiting for the
    // tick to finish could never end.
    int killEvent(std::uint32_t timerId) override;
    void wakeEvent(std::uint32_t timerId) override;
    // Refused (kTimerNoCanDo) from inside a tick of this platform and for an unknown event.
    int flushEvent(std::uint32_t timerId) override;

    int raisedPeriods() const;
    int liveEvents() const;

  private:
    class Event;

    std::shared_ptr<Event> find(std::uint32_t timerId) const;

    mutable std::mutex mutex_;
    // Shared: a wake or flush may still hold an event that a kill has just stopped.
    std::map<std::uint32_t, std::shared_ptr<Event>> events_;
    std::uint32_t nextId_ = 1;
    int raisedPeriods_ = 0;
};

}  // namespace pxr9
