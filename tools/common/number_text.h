#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace pxr9::tools {

// A whole number written in decimal or as 0x-hexadecimal, no sign, no blanks, at most `max`.
std::optional<std::uint64_t> parseNumber(std::string_view text, std::uint64_t max);

}  // namespace pxr9::tools
