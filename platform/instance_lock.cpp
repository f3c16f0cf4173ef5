#include "platform/instance_lock.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstddef>
#include <cstring>
#include <utility>

namespace pxr9 {

std::optional<InstanceLock> InstanceLock::tryAcquire(const std::string& name) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    // The leading zero byte puts the name in the abstract namespace; the name is not
    // zero-terminated there, its length is given by the address length.
    if (name.empty() || name.size() + 1 > sizeof address.sun_path) return std::nullopt;
    std::memcpy(address.sun_path + 1, name.data(), name.size());
    const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());

    // Close-on-exec, so a child process never keeps a parent's name alive.
    const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return std::nullopt;
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), length) != 0) {
        ::close(fd);
        return std::nullopt;
    }
    return InstanceLock(fd);
}

InstanceLock::InstanceLock(InstanceLock&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

InstanceLock& InstanceLock::operator=(InstanceLock&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

InstanceLock::~InstanceLock() {
    if (fd_ >= 0) ::close(fd_);
}

std::optional<NumberedInstance> takeInstanceNumber(const std::string& base, int limit) {
    for (int n = 1; n <= limit; ++n) {
        if (auto lock = InstanceLock::tryAcquire(instanceName(base, n))) {
            return NumberedInstance{std::move(*lock), n};
        }
    }
    return std::nullopt;
}

}  // namespace pxr9
