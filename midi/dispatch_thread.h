#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

#include "midi/receive_queue.h"

namespace pxr9 {

// The thread that runs the reply dispatcher while ports are open: it sleeps on the receive
// queue and runs the dispatch as soon as a message is queued or the input ends, so a reply
// is handled when it arrives.
class DispatchThread final : private ArrivalListener {
  public:
    // The queue must outlive this.
    explicit DispatchThread(ReceiveQueue& queue);
    ~DispatchThread();
    DispatchThread(const DispatchThread&) = delete;
    DispatchThread& operator=(const DispatchThread&) = delete;

    // Starts running `dispatch`, once at once for whatever is queued already, then after each
    // arrival. Does nothing while running.
    void start(std::function<void()> dispatch);
    // Returns only after a running dispatch has finished; none starts afterwards.
    void stop();
    // For when nothing more can arrive: one last dispatch takes what is still queued, then
    // stop.
    void drainAndStop();
    // Returns once everything queued before the call has been dispatched (at once when not
    // running): how a caller knows a reply it delivered has been handled.
    void waitDispatched();
    bool running() const;

  private:
    void messageQueued() override;
    void run();
    void finish(bool drain);

    ReceiveQueue& queue_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::function<void()> dispatch_;
    std::thread thread_;
    bool running_ = false;
    bool stopping_ = false;
    bool drainOnStop_ = false;
    // Arrivals told so far, and how many of them a finished dispatch had taken.
    std::uint64_t told_ = 0;
    std::uint64_t handled_ = 0;
};

}  // namespace pxr9
