#include "platform/midi/polled_port_watch.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

namespace pxr9 {

PolledPortWatch::PolledPortWatch(std::vector<WatchSource*> sources)
    : sources_(std::move(sources)), stopFd_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

PolledPortWatch::~PolledPortWatch() {
    stop();
    if (stopFd_ >= 0) close(stopFd_);
}

bool PolledPortWatch::start(Changed changed) {
    std::lock_guard lock(mutex_);
    if (thread_.joinable() || stopFd_ < 0) return false;
    std::vector<Watched> watched;
    for (WatchSource* source : sources_) {
        const int fd = source->begin();
        if (fd >= 0) watched.push_back({source, fd});
    }
    if (watched.empty()) return false;
    watched_ = watched;
    thread_ = std::thread(&PolledPortWatch::run, this, std::move(watched), std::move(changed));
    return true;
}

void PolledPortWatch::stop() {
    std::lock_guard lock(mutex_);
    if (!thread_.joinable()) return;
    const std::uint64_t one = 1;
    // The counter cannot overflow from one write per stop; a failed write would mean a bad
    // descriptor, which the constructor ruled out.
    (void)!write(stopFd_, &one, sizeof one);
    thread_.join();
    std::uint64_t taken = 0;
    (void)!read(stopFd_, &taken, sizeof taken);
    for (const Watched& w : watched_) w.source->end();
    watched_.clear();
}

void PolledPortWatch::run(std::vector<Watched> watched, Changed changed) {
    std::vector<pollfd> fds;
    fds.push_back({stopFd_, POLLIN, 0});
    for (const Watched& w : watched) fds.push_back({w.fd, POLLIN, 0});
    while (true) {
        if (poll(fds.data(), fds.size(), -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (fds[0].revents != 0) return;
        bool any = false;
        for (std::size_t i = 1; i < fds.size(); ++i) {
            const short events = fds[i].revents;
            if (events == 0) continue;
            if ((events & POLLIN) != 0 && watched[i - 1].source->takeChanges()) any = true;
            // A descriptor that failed would wake the wait for good: it is no longer waited on.
            if ((events & (POLLERR | POLLHUP | POLLNVAL)) != 0) fds[i].fd = -1;
        }
        if (any) changed();
    }
}

}  // namespace pxr9
