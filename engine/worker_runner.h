#pragma once

#include <functional>
#include <thread>
#include <utility>

namespace pxr9 {

// Where a session's worker runs: the dialog's runner also carries the worker's surface calls
// onto the GUI thread; the console's is a plain thread.
class WorkerRunner {
  public:
    virtual ~WorkerRunner() = default;
    // Runs `work` on a worker thread, after an earlier worker has ended.
    virtual void start(std::function<void()> work) = 0;
    // Returns once the worker has ended; at once without one.
    virtual void join() = 0;
};

// One plain thread at a time, joined at the latest when the runner goes. Started and joined
// on one thread.
class ThreadWorkerRunner final : public WorkerRunner {
  public:
    ThreadWorkerRunner() = default;
    ~ThreadWorkerRunner() override { join(); }
    ThreadWorkerRunner(const ThreadWorkerRunner&) = delete;
    ThreadWorkerRunner& operator=(const ThreadWorkerRunner&) = delete;

    void start(std::function<void()> work) override {
        join();
        thread_ = std::thread(std::move(work));
    }
    void join() override {
        if (thread_.joinable()) thread_.join();
    }
    // A worker was started and has not been joined yet.
    bool joinable() const { return thread_.joinable(); }

  private:
    std::thread thread_;
};

}  // namespace pxr9
