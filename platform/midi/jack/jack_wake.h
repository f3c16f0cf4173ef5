#pragma once

#include <semaphore.h>

#include <cerrno>
#include <chrono>
#include <ctime>

namespace pxr9 {

// A wake-up that JACK's real-time thread can give without ever blocking: sem_post is one
// atomic step and, only when someone sleeps, one futex call. A condition variable would need
// its mutex on that thread, where a sender holding it could stall the whole cycle. Wake-ups
// count, so one given before the wait is not lost; a waiter rechecks its condition after each
// (the data it waits for travels through atomics, which also order it for ThreadSanitizer).
class JackWake {
  public:
    JackWake() { sem_init(&sem_, 0, 0); }
    ~JackWake() { sem_destroy(&sem_); }
    JackWake(const JackWake&) = delete;
    JackWake& operator=(const JackWake&) = delete;

    void post() noexcept { sem_post(&sem_); }

    void wait() noexcept {
        while (sem_wait(&sem_) != 0 && errno == EINTR) {
        }
    }

    // False once `deadline` has passed without a wake-up.
    bool waitUntil(std::chrono::steady_clock::time_point deadline) noexcept {
        const auto since = deadline.time_since_epoch();
        const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(since);
        timespec at{};
        at.tv_sec = static_cast<std::time_t>(seconds.count());
        at.tv_nsec = static_cast<long>(
            std::chrono::duration_cast<std::chrono::nanoseconds>(since - seconds).count());
        while (true) {
            if (sem_clockwait(&sem_, CLOCK_MONOTONIC, &at) == 0) return true;
            if (errno != EINTR) return false;
        }
    }

  private:
    sem_t sem_;
};

}  // namespace pxr9
