#pragma once

#include <cstdint>

namespace pxr9 {

using TimerCallback = void (*)(std::uint32_t timerId, std::uint32_t message,
                               std::uintptr_t userData, std::uintptr_t param1,
                               std::uintptr_t param2);

inline constexpr std::uint32_t kTimePeriodic = 1;
// Result of flushEvent on a platform whose ticks are not its own to give (tests drive them).
inline constexpr int kTimerNoFlush = 98;

struct TimerCaps {
    std::uint32_t periodMin = 0;
    std::uint32_t periodMax = 0;
};

// The small platform tick under the poll timer.
class TimerPlatform {
  public:
    virtual ~TimerPlatform() = default;
    virtual int getDevCaps(TimerCaps& caps) = 0;
    virtual int beginPeriod(std::uint32_t period) = 0;
    virtual int endPeriod(std::uint32_t period) = 0;
    // Starts a periodic tick on one thread; returns its id, or 0 when none could be made.
    virtual std::uint32_t setEvent(std::uint32_t delayMs, std::uint32_t resolution,
                                   TimerCallback callback, std::uintptr_t userData,
                                   std::uint32_t flags) = 0;
    // Returns only after a running tick has finished; no tick starts afterwards.
    virtual int killEvent(std::uint32_t timerId) = 0;

    // Runs the event's next tick now instead of at its due time; from any thread, and never
    // waits for a tick. One that is running is followed by another straight away. A platform
    // without it keeps to its own ticks.
    virtual void wakeEvent(std::uint32_t timerId) { (void)timerId; }
    // Runs one more tick now and returns once it has finished (after a running one); 0 then.
    // Refused from inside a tick, where it could never return. A platform without it runs
    // nothing and returns kTimerNoFlush.
    virtual int flushEvent(std::uint32_t timerId) {
        (void)timerId;
        return kTimerNoFlush;
    }
};

}  // namespace pxr9
