#pragma once

#include <optional>
#include <string>
#include <vector>

namespace pxr9::test {

// A device list as a platform reports it; an empty entry is a device whose name cannot be
// read (it still has its number).
using DeviceNames = std::vector<std::optional<std::string>>;

// Platform-style result codes the fakes give where a real service would refuse.
inline constexpr int kFakeBadDevice = 2;
inline constexpr int kFakeAllocated = 4;
inline constexpr int kFakeBadHandle = 5;
inline constexpr int kFakeUnprepared = 64;
inline constexpr int kFakeStillPlaying = 65;
inline constexpr int kFakeTimedOut = 66;

}  // namespace pxr9::test
