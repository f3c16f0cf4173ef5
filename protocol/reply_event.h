#pragma once

#include <cstdint>

namespace pxr9 {

// Auto-reset event that orders the hand-over of a reply from the dispatcher to the waiting
// worker: everything written before set() is visible after a wait() that returned true.
class ReplyEvent {
  public:
    virtual ~ReplyEvent() = default;
    virtual void set() = 0;
    virtual void reset() = 0;
    // True when signalled (the signal is consumed), false when the timeout ran out.
    virtual bool wait(std::uint32_t timeoutMs) = 0;
};

// The workers' notion of time passing.
class Clock {
  public:
    virtual ~Clock() = default;
    virtual void sleep(std::uint32_t ms) = 0;
};

}  // namespace pxr9
