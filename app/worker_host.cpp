#include "app/worker_host.h"

#include <QCoreApplication>
#include <QEvent>
#include <QThread>
#include <utility>

namespace pxr9 {

WorkerHost::WorkerHost() = default;

WorkerHost::~WorkerHost() {
    close();
    join();
}

bool WorkerHost::onGuiThread() const {
    return QThread::currentThread() == receiver_.thread();
}

void WorkerHost::start(std::function<void()> work) {
    join();
    {
        std::lock_guard lock(mutex_);
        workerRunning_ = true;
    }
    worker_ = std::thread([this, work = std::move(work)] {
        work();
        std::lock_guard lock(mutex_);
        workerRunning_ = false;
        changed_.notify_all();
    });
}

void WorkerHost::call(std::function<void()> fn) {
    if (onGuiThread()) {
        if (!isClosed()) fn();
        return;
    }
    auto pending = std::make_shared<Call>();
    pending->fn = std::move(fn);
    {
        std::lock_guard lock(mutex_);
        if (closed_) return;
        queue_.push_back(pending);
        // Wakes a join() on the GUI thread, which serves calls while it waits.
        changed_.notify_all();
    }
    wakeGuiThread();
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return pending->done || closed_; });
}

void WorkerHost::post(std::function<void()> fn) {
    {
        std::lock_guard lock(mutex_);
        if (closed_) return;
        posted_.push_back(std::move(fn));
    }
    wakeGuiThread();
}

void WorkerHost::wakeGuiThread() {
    // The receiver stays until the worker has been joined; an event still queued when it
    // goes is dropped with it.
    QCoreApplication::postEvent(&receiver_, new QEvent(QEvent::User));
}

void WorkerHost::Receiver::customEvent(QEvent*) {
    host_.serve();
    host_.runPosted();
}

void WorkerHost::runPosted() {
    for (;;) {
        std::function<void()> next;
        {
            std::lock_guard lock(mutex_);
            if (posted_.empty() || closed_) return;
            next = std::move(posted_.front());
            posted_.pop_front();
        }
        next();
    }
}

void WorkerHost::serve() {
    for (;;) {
        std::shared_ptr<Call> next;
        {
            std::lock_guard lock(mutex_);
            if (queue_.empty() || closed_) return;
            next = std::move(queue_.front());
            queue_.pop_front();
        }
        next->fn();
        std::lock_guard lock(mutex_);
        next->done = true;
        changed_.notify_all();
    }
}

void WorkerHost::join() {
    {
        std::unique_lock lock(mutex_);
        while (workerRunning_) {
            if (!queue_.empty() && !closed_) {
                lock.unlock();
                serve();
                lock.lock();
                continue;
            }
            changed_.wait(lock);
        }
    }
    if (worker_.joinable()) worker_.join();
}

void WorkerHost::close() {
    std::lock_guard lock(mutex_);
    closed_ = true;
    queue_.clear();
    posted_.clear();
    changed_.notify_all();
}

bool WorkerHost::isClosed() const {
    std::lock_guard lock(mutex_);
    return closed_;
}

bool WorkerHost::hasPendingCall() const {
    std::lock_guard lock(mutex_);
    return !queue_.empty();
}

}  // namespace pxr9
