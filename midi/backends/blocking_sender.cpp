#include "midi/backends/blocking_sender.h"

#include <cerrno>

namespace pxr9 {

bool BlockingSender::send(const std::uint8_t* data, std::size_t size) {
    std::lock_guard lock(mutex_);
    std::size_t sent = 0;
    while (sent < size) {
        if (cancelled_.load()) return false;
        const long n = sink_.write(data + sent, size - sent);
        if (n == -EINTR) continue;
        // A write that takes nothing would loop for ever; treat it as a failure.
        if (n <= 0) return false;
        sent +=
            static_cast<std::size_t>(n) < size - sent ? static_cast<std::size_t>(n) : size - sent;
    }
    for (;;) {
        const int result = sink_.drain();
        if (result == -EINTR) continue;
        return result == 0;
    }
}

}  // namespace pxr9
