#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "midi/port_watch.h"

namespace pxr9::testing {

// A port watch that speaks when the test says so, on a thread of its own as a real one does.
class FakePortWatch final : public PortWatch {
  public:
    ~FakePortWatch() override { stop(); }

    bool start(Changed changed) override {
        std::lock_guard lock(mutex_);
        if (thread_.joinable()) return false;
        stopping_ = false;
        waiting_ = 0;
        thread_ = std::thread([this, changed = std::move(changed)] { run(changed); });
        ++starts_;
        return true;
    }

    void stop() override {
        std::thread ending;
        {
            std::lock_guard lock(mutex_);
            if (!thread_.joinable()) return;
            stopping_ = true;
            ending = std::move(thread_);
        }
        wake_.notify_all();
        ending.join();
    }

    // The watch's thread calls back soon; returns at once. Lost when not started.
    void announce() {
        {
            std::lock_guard lock(mutex_);
            if (!thread_.joinable()) return;
            ++waiting_;
        }
        wake_.notify_all();
    }

    bool running() const {
        std::lock_guard lock(mutex_);
        return thread_.joinable();
    }
    int starts() const {
        std::lock_guard lock(mutex_);
        return starts_;
    }

  private:
    void run(const Changed& changed) {
        std::unique_lock lock(mutex_);
        while (true) {
            wake_.wait(lock, [&] { return stopping_ || waiting_ > 0; });
            if (stopping_) return;
            --waiting_;
            lock.unlock();
            changed();
            lock.lock();
        }
    }

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::thread thread_;
    int waiting_ = 0;
    int starts_ = 0;
    bool stopping_ = false;
};

}  // namespace pxr9::testing
