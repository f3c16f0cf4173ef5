#pragma once

#include <array>
#include <cstdint>

namespace pxr9::sim {

// The device's flash as the updater addresses it.
inline constexpr std::uint32_t kFlashSize = 0x1000000;  // 16 MiB

// Where the device keeps its three 4-byte version stamps.
inline constexpr std::uint32_t kBootStampAddress = 0x04AFFC;
inline constexpr std::uint32_t kPresetStampAddress = 0x070FFC;
inline constexpr std::uint32_t kSystemStampAddress = 0x110FE0;

using VersionStamp = std::array<std::uint8_t, 4>;

// "1.00" -> {'1', '.', '0', '0'}; the text must have exactly 4 characters.
consteval VersionStamp makeStamp(const char (&text)[5]) {
    return {static_cast<std::uint8_t>(text[0]), static_cast<std::uint8_t>(text[1]),
            static_cast<std::uint8_t>(text[2]), static_cast<std::uint8_t>(text[3])};
}

}  // namespace pxr9::sim
