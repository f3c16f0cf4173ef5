#include "platform/real_time.h"

#include <chrono>
#include <thread>

namespace pxr9 {

void RealReplyEvent::set() {
    {
        std::lock_guard lock(mutex_);
        signalled_ = true;
    }
    changed_.notify_one();
}

void RealReplyEvent::reset() {
    std::lock_guard lock(mutex_);
    signalled_ = false;
}

bool RealReplyEvent::wait(std::uint32_t timeoutMs) {
    std::unique_lock lock(mutex_);
    if (!changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                           [this] { return signalled_; })) {
        return false;
    }
    signalled_ = false;
    return true;
}

void RealClock::sleep(std::uint32_t ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace pxr9
