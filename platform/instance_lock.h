#pragma once

#include <optional>
#include <string>

#include "platform/instance_name.h"

namespace pxr9 {

// A system-wide name held for as long as this object lives. It is an abstract-namespace
// Unix socket: the kernel drops the name with the last descriptor, so a copy that crashes or
// is killed frees its name as well and no file is ever left behind.
class InstanceLock {
  public:
    // The lock on `name`, or none when another holder has it or it cannot be made at all.
    static std::optional<InstanceLock> tryAcquire(const std::string& name);

    InstanceLock(InstanceLock&& other) noexcept;
    InstanceLock& operator=(InstanceLock&& other) noexcept;
    ~InstanceLock();

  private:
    explicit InstanceLock(int fd) : fd_(fd) {}
    int fd_ = -1;
};

struct NumberedInstance {
    InstanceLock lock;
    int number;
};

// Takes the lowest free number 1..limit under the names made from `base`; none when all
// are taken.
std::optional<NumberedInstance> takeInstanceNumber(const std::string& base,
                                                   int limit = kMaxInstances);

}  // namespace pxr9
