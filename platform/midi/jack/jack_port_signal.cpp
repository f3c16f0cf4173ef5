#include "platform/midi/jack/jack_port_signal.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

namespace pxr9 {

JackPortSignal::JackPortSignal() : fd_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

JackPortSignal::~JackPortSignal() {
    if (fd_ >= 0) close(fd_);
}

void JackPortSignal::notify() noexcept {
    if (fd_ < 0) return;
    const std::uint64_t one = 1;
    // Fails only when the count is full, which still leaves it readable.
    (void)!write(fd_, &one, sizeof one);
}

bool JackPortSignal::take() noexcept {
    if (fd_ < 0) return false;
    std::uint64_t count = 0;
    return read(fd_, &count, sizeof count) == static_cast<ssize_t>(sizeof count) && count > 0;
}

}  // namespace pxr9
