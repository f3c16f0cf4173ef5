#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace pxr9 {

// A version text: four characters and a terminating zero.
using VersionText = std::array<char, 5>;

// Any of the four characters outside 0x20..0x7E turns the whole text into "*.**".
void sanitiseVersionText(VersionText& text);

// The device's text of a word read from it (first byte received first), sanitised.
std::string deviceVersionText(std::uint32_t word);

}  // namespace pxr9
