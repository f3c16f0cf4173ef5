#pragma once

#include <cstdint>

namespace pxr9 {

using TimerCallback = void (*)(std::uint32_t timerId, std::uint32_t message,
                               std::uintptr_t userData, std::uintptr_t param1,
                               std::uintptr_t param2);

inline constexpr std::uint32_t kTimePeriodic = 1;

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
};

}  // namespace pxr9
