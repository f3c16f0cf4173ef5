#pragma once

#include <QObject>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "engine/worker_runner.h"

namespace pxr9 {

// Runs the dialog's one worker thread and carries the worker's calls onto the GUI thread,
// where alone widgets may be touched. A call returns only after it has run there, so the
// worker sees each effect before it goes on. Once closed, every pending and later call
// returns at once without running, so a worker can never be held up by, or reach, a dialog
// that is going away. Built, started, joined and closed on the GUI thread.
class WorkerHost final : public WorkerRunner {
  public:
    WorkerHost();
    // Closes and joins.
    ~WorkerHost() override;
    WorkerHost(const WorkerHost&) = delete;
    WorkerHost& operator=(const WorkerHost&) = delete;

    // Joins an earlier worker (serving its calls meanwhile), then runs `work` on a new thread.
    void start(std::function<void()> work) override;

    // Runs `fn` on the GUI thread and returns after it has run; at once, without running it,
    // once closed. `fn` may outlive the caller's wait (a box still open while closing), so it
    // must own what it uses and never refer to the caller's locals.
    void call(std::function<void()> fn);

    // Runs `fn` later on the GUI thread, unless the host is closed by then.
    void post(std::function<void()> fn);

    // Waits until the worker has ended, serving its calls meanwhile; a no-op without one.
    void join() override;

    // Refuses every call from now on and releases a worker waiting on one.
    void close();
    bool isClosed() const;

    // Whether a worker's call waits to be run (lets tests close at exactly that moment).
    bool hasPendingCall() const;

  private:
    struct Call {
        std::function<void()> fn;
        bool done = false;
    };

    // Lives on the GUI thread; each event it gets runs whatever is queued. The events carry
    // nothing: calls and posts travel in the queues below, under this host's own lock.
    class Receiver final : public QObject {
      public:
        explicit Receiver(WorkerHost& host) : host_(host) {}

      protected:
        void customEvent(QEvent*) override;

      private:
        WorkerHost& host_;
    };

    bool onGuiThread() const;
    void wakeGuiThread();
    // Runs the queued calls, oldest first.
    void serve();
    // Runs the posted functions, oldest first.
    void runPosted();

    Receiver receiver_{*this};
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::shared_ptr<Call>> queue_;
    std::deque<std::function<void()>> posted_;
    bool closed_ = false;
    bool workerRunning_ = false;
    std::thread worker_;
};

}  // namespace pxr9
