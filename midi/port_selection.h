#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "midi/port_directory.h"

namespace pxr9 {

// The encoding in which a platform reports device names; the device's first name is stored
// in Shift-JIS and must be compared in the platform's own encoding.
enum class NameEncoding { ShiftJis, Utf8 };

// Linux reports device names in UTF-8.
inline constexpr NameEncoding kPlatformNameEncoding = NameEncoding::Utf8;

inline constexpr std::size_t kPortNameCount = 6;

// The supported device's six port names, the first in the given encoding.
std::array<std::string, kPortNameCount> portNames(NameEncoding encoding);

// The names a copy looks for: the names themselves for copy 1, "name (n)" for copy n.
std::array<std::string, kPortNameCount> portPatterns(int instanceNumber, NameEncoding encoding);

// One name per device in device order; the count is asked again before every item, and a
// device whose name cannot be read still gets an (empty) item, so item k is device k.
std::vector<std::string> listDeviceNames(PortList& devices);

// The item to select: the last one whose text equals a pattern byte for byte, or -1.
int selectPort(const std::vector<std::string>& items,
               const std::array<std::string, kPortNameCount>& patterns);

}  // namespace pxr9
