#pragma once

#include <optional>
#include <string>
#include <vector>

namespace pxr9::test {

// A device list as a platform reports it; an empty entry is a device whose name cannot be
// read (it still has its number).
using DeviceNames = std::vector<std::optional<std::string>>;

}  // namespace pxr9::test
