#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace pxr9 {

// What every build of the five embedded images must match, whoever supplied them.
struct ImageInfo {
    std::uint32_t id;
    std::size_t size;
    // Where the image carries its 4-byte version stamp ("d.dd"), if it carries one.
    std::optional<std::size_t> stampOffset;
};

inline constexpr std::uint32_t kBootImageId = 142;
inline constexpr std::uint32_t kPresetImageId = 133;
inline constexpr std::uint32_t kSystemImageId = 129;
inline constexpr std::uint32_t kVersionBlockImageId = 139;
inline constexpr std::uint32_t kUpperImageId = 136;

inline constexpr std::size_t kStampSize = 4;

inline constexpr std::array<ImageInfo, 5> kImages{{
    {kBootImageId, 0x4B000, 0x4AFFC},
    {kPresetImageId, 0x26000, 0x25FFC},
    {kSystemImageId, 0x89150, std::nullopt},
    {kVersionBlockImageId, 0x1000, 0xFE0},
    {kUpperImageId, 0xE35000, std::nullopt},
}};

// The version block image beyond its stamp: all erased flash but a maker string at its end.
inline constexpr std::size_t kMakerStringOffset = 0xFF0;
inline constexpr char kMakerString[] = "Kevo Corporation";  // 16 bytes stored, no terminator
inline constexpr std::uint8_t kErasedByte = 0xFF;

constexpr const ImageInfo* findImageInfo(std::uint32_t id) {
    for (const ImageInfo& info : kImages) {
        if (info.id == id) return &info;
    }
    return nullptr;
}

}  // namespace pxr9
