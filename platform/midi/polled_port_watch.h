#pragma once

#include <mutex>
#include <thread>
#include <vector>

#include "midi/port_watch.h"
#include "platform/midi/watch_source.h"

namespace pxr9 {

// A PortWatch over the sources of several MIDI systems: one thread sleeps on all their
// descriptors at once and wakes only when one of them speaks, so an idle program costs
// nothing.
class PolledPortWatch final : public PortWatch {
  public:
    // The sources must outlive this.
    explicit PolledPortWatch(std::vector<WatchSource*> sources);
    ~PolledPortWatch() override;
    PolledPortWatch(const PolledPortWatch&) = delete;
    PolledPortWatch& operator=(const PolledPortWatch&) = delete;

    // False when running already or when no source can be watched.
    bool start(Changed changed) override;
    void stop() override;

  private:
    struct Watched {
        WatchSource* source;
        int fd;
    };
    void run(std::vector<Watched> watched, Changed changed);

    const std::vector<WatchSource*> sources_;
    std::mutex mutex_;  // start and stop one at a time
    int stopFd_ = -1;   // an eventfd that ends the thread's wait
    std::thread thread_;
    std::vector<Watched> watched_;
};

}  // namespace pxr9
