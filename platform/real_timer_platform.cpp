#include "platform/real_timer_platform.h"

#include <pthread.h>

#include <condition_variable>
#include <thread>
#include <utility>
#include <vector>

namespace pxr9 {

namespace {

// The platform whose tick runs on this thread, if any.
thread_local const RealTimerPlatform* tickingPlatform = nullptr;

}  // namespace

std::chrono::steady_clock::time_point nextTickDue(std::chrono::steady_clock::time_point due,
                                                  std::chrono::steady_clock::time_point now,
                                                  std::chrono::milliseconds period) {
    const auto next = due + period;
    return next > now ? next : now + period;
}

class RealTimerPlatform::Event {
  public:
    Event(const RealTimerPlatform* owner, std::uint32_t id, std::chrono::milliseconds period,
          TimerCallback callback, std::uintptr_t userData)
        : thread_([=, this] { run(owner, id, period, callback, userData); }) {}

    ~Event() { stop(); }

    // Returns once a running tick has finished; no tick starts afterwards.
    void stop() {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        wake_.notify_all();
        ticked_.notify_all();
        if (thread_.joinable()) thread_.join();
    }

    void wake() {
        {
            std::lock_guard lock(mutex_);
            woken_ = true;
        }
        wake_.notify_one();
    }

    // Returns once a tick that starts after this call has finished, or the event stopped.
    void flush() {
        std::unique_lock lock(mutex_);
        // Ticks finish in the order they start: a running one first, then the one asked for.
        const std::uint64_t target = ticksStarted_ + 1;
        woken_ = true;
        wake_.notify_one();
        ticked_.wait(lock, [&] { return ticksFinished_ >= target || stopping_; });
    }

  private:
    void run(const RealTimerPlatform* owner, std::uint32_t id, std::chrono::milliseconds period,
             TimerCallback callback, std::uintptr_t userData) {
        // Named so that profilers and /proc tell the poll timer apart from library threads.
        pthread_setname_np(pthread_self(), "pxr9-poll-timer");
        tickingPlatform = owner;
        auto due = std::chrono::steady_clock::now() + period;
        std::unique_lock lock(mutex_);
        for (;;) {
            wake_.wait_until(lock, due, [this] { return stopping_ || woken_; });
            if (stopping_) break;
            const bool woken = std::exchange(woken_, false);
            ++ticksStarted_;
            lock.unlock();
            callback(id, 0, userData, 0, 0);
            lock.lock();
            ++ticksFinished_;
            ticked_.notify_all();
            // A tick run early starts the period afresh: it has just done what the next
            // scheduled one would have found.
            const auto now = std::chrono::steady_clock::now();
            due = woken ? now + period : nextTickDue(due, now, period);
        }
    }

    std::mutex mutex_;
    std::condition_variable wake_;    // the event's thread waits here for its next tick
    std::condition_variable ticked_;  // flush waits here for the tick it asked for
    bool stopping_ = false;
    bool woken_ = false;
    std::uint64_t ticksStarted_ = 0;
    std::uint64_t ticksFinished_ = 0;
    // Last member: the thread starts only once everything it uses exists.
    std::thread thread_;
};

RealTimerPlatform::RealTimerPlatform() = default;

RealTimerPlatform::~RealTimerPlatform() {
    std::map<std::uint32_t, std::shared_ptr<Event>> events;
    {
        std::lock_guard lock(mutex_);
        events.swap(events_);
    }
    for (auto& [id, event] : events) event->stop();
}

int RealTimerPlatform::getDevCaps(TimerCaps& caps) {
    caps.periodMin = 1;
    caps.periodMax = 1'000'000;
    return 0;
}

int RealTimerPlatform::beginPeriod(std::uint32_t period) {
    if (period == 0) return kTimerNoCanDo;
    std::lock_guard lock(mutex_);
    ++raisedPeriods_;
    return 0;
}

int RealTimerPlatform::endPeriod(std::uint32_t period) {
    std::lock_guard lock(mutex_);
    if (period == 0 || raisedPeriods_ == 0) return kTimerNoCanDo;
    --raisedPeriods_;
    return 0;
}

std::uint32_t RealTimerPlatform::setEvent(std::uint32_t delayMs, std::uint32_t,
                                          TimerCallback callback, std::uintptr_t userData,
                                          std::uint32_t flags) {
    if (delayMs == 0 || callback == nullptr || (flags & kTimePeriodic) == 0) return 0;
    std::lock_guard lock(mutex_);
    std::uint32_t id = nextId_;
    while (id == 0 || events_.count(id) != 0) ++id;
    nextId_ = id + 1;
    // The event's thread takes no lock of the platform, so starting it here is safe.
    events_.emplace(id, std::make_shared<Event>(this, id, std::chrono::milliseconds(delayMs),
                                                callback, userData));
    return id;
}

int RealTimerPlatform::killEvent(std::uint32_t timerId) {
    if (tickingPlatform == this) return kTimerNoCanDo;
    std::shared_ptr<Event> event;
    {
        std::lock_guard lock(mutex_);
        auto it = events_.find(timerId);
        if (it == events_.end()) return kTimerNoCanDo;
        event = std::move(it->second);
        events_.erase(it);
    }
    // Joined outside the lock: a running tick may still call into this platform. A flush
    // or wake that still holds the event finds it stopped.
    event->stop();
    return 0;
}

std::shared_ptr<RealTimerPlatform::Event> RealTimerPlatform::find(std::uint32_t timerId) const {
    std::lock_guard lock(mutex_);
    auto it = events_.find(timerId);
    return it == events_.end() ? nullptr : it->second;
}

void RealTimerPlatform::wakeEvent(std::uint32_t timerId) {
    // Outside the platform's lock: the input side calls this for every message.
    if (auto event = find(timerId)) event->wake();
}

int RealTimerPlatform::flushEvent(std::uint32_t timerId) {
    if (tickingPlatform == this) return kTimerNoCanDo;
    auto event = find(timerId);
    if (!event) return kTimerNoCanDo;
    event->flush();
    return 0;
}

int RealTimerPlatform::raisedPeriods() const {
    std::lock_guard lock(mutex_);
    return raisedPeriods_;
}

int RealTimerPlatform::liveEvents() const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(events_.size());
}

}  // namespace pxr9
