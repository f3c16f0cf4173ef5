#include "midi/dispatch_thread.h"

namespace pxr9 {

DispatchThread::DispatchThread(ReceiveQueue& queue) : queue_(queue) {
    queue_.setListener(this);
}

DispatchThread::~DispatchThread() {
    // No arrival reaches this once the queue has let go of it.
    queue_.setListener(nullptr);
    stop();
    if (thread_.joinable()) thread_.join();
}

void DispatchThread::start(std::function<void()> dispatch) {
    std::lock_guard lock(mutex_);
    if (running_) return;
    // A thread that stopped itself is joined before the next one begins.
    if (thread_.joinable()) thread_.join();
    dispatch_ = std::move(dispatch);
    running_ = true;
    stopping_ = false;
    drainOnStop_ = false;
    ++told_;  // whatever waited while stopped is dispatched at once
    thread_ = std::thread([this] { run(); });
}

void DispatchThread::stop() {
    finish(false);
}

void DispatchThread::drainAndStop() {
    finish(true);
}

void DispatchThread::finish(bool drain) {
    std::thread ending;
    {
        std::lock_guard lock(mutex_);
        if (!running_) return;
        stopping_ = true;
        drainOnStop_ = drain;
        // From inside a dispatch the thread cannot wait for itself: it ends after this one.
        if (thread_.get_id() != std::this_thread::get_id()) ending = std::move(thread_);
    }
    changed_.notify_all();
    if (ending.joinable()) ending.join();
}

void DispatchThread::waitDispatched() {
    std::unique_lock lock(mutex_);
    const std::uint64_t target = told_;
    changed_.wait(lock, [&] { return !running_ || handled_ >= target; });
}

bool DispatchThread::running() const {
    std::lock_guard lock(mutex_);
    return running_;
}

void DispatchThread::messageQueued() {
    {
        std::lock_guard lock(mutex_);
        ++told_;
    }
    changed_.notify_all();
}

void DispatchThread::run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return stopping_ || handled_ != told_; });
        if (stopping_ && !drainOnStop_) break;
        const std::uint64_t target = told_;
        const bool last = stopping_;
        lock.unlock();
        dispatch_();
        lock.lock();
        handled_ = target;
        changed_.notify_all();
        if (last) break;
    }
    running_ = false;
    changed_.notify_all();
}

}  // namespace pxr9
