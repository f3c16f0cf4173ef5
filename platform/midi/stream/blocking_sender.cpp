#include "platform/midi/stream/blocking_sender.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

namespace pxr9 {

namespace {

// Whole milliseconds for poll(), rounded up so that a wait never ends before its time.
int pollTimeout(std::chrono::steady_clock::duration wait) {
    using namespace std::chrono;
    const auto ms = ceil<milliseconds>(wait).count();
    return static_cast<int>(std::clamp<decltype(ms)>(ms, 0, 60'000));
}

}  // namespace

BlockingSender::BlockingSender(ByteSink& sink, std::chrono::milliseconds bound, Clock clock)
    : sink_(sink),
      bound_(bound),
      clock_(std::move(clock)),
      wakeFd_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

BlockingSender::~BlockingSender() {
    if (wakeFd_ >= 0) ::close(wakeFd_);
}

void BlockingSender::cancel() {
    cancelled_.store(true);
    {
        std::lock_guard lock(mutex_);  // a send between its check and its wait sees the flag
    }
    idle_.notify_all();
    if (wakeFd_ < 0) return;
    const std::uint64_t one = 1;
    while (::write(wakeFd_, &one, sizeof one) < 0 && errno == EINTR) {
    }
}

bool BlockingSender::send(const std::uint8_t* data, std::size_t size) {
    const TimePoint deadline = clock_() + bound_;
    // Without its wake-up descriptor a send could not be cancelled: refuse rather than hang.
    if (wakeFd_ < 0) return false;
    {
        std::unique_lock lock(mutex_);
        for (;;) {
            if (cancelled_.load() || gone_.load()) return false;
            if (!sending_) break;
            const auto left = deadline - clock_();
            if (left <= left.zero()) return false;
            idle_.wait_for(lock, left);
        }
        sending_ = true;
    }
    const bool sent = sendLocked(data, size, deadline);
    // Still alone on the sink: a message given up on must not reach the device later, where
    // it would come behind (or instead of) its resend.
    if (!sent && !gone_.load()) sink_.drop();
    {
        std::lock_guard lock(mutex_);
        sending_ = false;
    }
    idle_.notify_one();
    return sent;
}

bool BlockingSender::sendLocked(const std::uint8_t* data, std::size_t size, TimePoint deadline) {
    std::size_t sent = 0;
    while (sent < size) {
        if (cancelled_.load()) return false;
        const long n = sink_.write(data + sent, size - sent);
        if (n > 0) {
            sent += std::min(static_cast<std::size_t>(n), size - sent);
            continue;
        }
        if (n == -EINTR) continue;
        if (n != 0 && n != -EAGAIN) return failed(n);
        if (waitForSink(deadline) != Wait::Ready) return false;
    }
    for (;;) {
        if (cancelled_.load()) return false;
        const int result = sink_.drained();
        if (result > 0) return true;
        if (result == -EINTR) continue;
        if (result < 0) return failed(result);
        if (waitForSink(deadline) != Wait::Ready) return false;
    }
}

bool BlockingSender::failed(long error) {
    if (meansDeviceGone(error)) gone_.store(true);
    return false;
}

BlockingSender::Wait BlockingSender::waitForSink(TimePoint deadline) {
    for (;;) {
        if (cancelled_.load()) return Wait::Over;
        const auto left = deadline - clock_();
        if (left <= left.zero()) return Wait::Over;
        const std::chrono::milliseconds retry = sink_.retryAfter();
        const bool retries = retry >= retry.zero();
        std::vector<pollfd> fds = sink_.pollDescriptors();
        fds.push_back(pollfd{wakeFd_, POLLIN, 0});
        const int ready =
            ::poll(fds.data(), fds.size(),
                   pollTimeout(retries ? std::min<std::chrono::steady_clock::duration>(left, retry)
                                       : left));
        if (ready < 0) {
            if (errno == EINTR) continue;
            return Wait::Over;
        }
        if (fds.back().revents != 0) return Wait::Over;
        // Woken by the sink, or time to ask a sink that cannot be waited on; a poll that
        // only timed out goes round to check the deadline.
        if (ready > 0 || retries) return Wait::Ready;
    }
}

}  // namespace pxr9
