#pragma once

#include <functional>
#include <utility>

#include "engine/worker_runner.h"

namespace pxr9::testing {

// Runs a session's worker on the test's own thread, when the session waits for it: on the
// virtual clock nothing needs a thread of its own, and a test reads the state afterwards.
class InlineWorkerRunner final : public WorkerRunner {
  public:
    void start(std::function<void()> work) override {
        join();
        work_ = std::move(work);
    }
    void join() override {
        auto work = std::exchange(work_, nullptr);
        if (work) work();
    }

  private:
    std::function<void()> work_;
};

}  // namespace pxr9::testing
