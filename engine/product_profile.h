#pragma once

#include <array>
#include <cstdint>

#include "protocol/messages.h"

namespace pxr9 {

enum class StepKind : std::uint32_t { Erase = 1, Write = 2 };

struct PlanStep {
    std::uint32_t kind;
    std::uint32_t address;
    // Erase: bytes to erase. Write: bytes to write, 0 = the whole image.
    std::uint32_t size;
    // Write: the embedded image; 0 for Erase.
    std::uint32_t resourceId;
};

// Ids of the embedded images.
inline constexpr std::uint32_t kBootImage = 142;
inline constexpr std::uint32_t kPresetImage = 133;
inline constexpr std::uint32_t kSystemImage = 129;
inline constexpr std::uint32_t kVersionBlockImage = 139;
inline constexpr std::uint32_t kUpperImage = 136;

// Where the device keeps its version stamps, and where the carried images hold theirs.
inline constexpr std::uint32_t kBootStampAddress = 0x04AFFC;
inline constexpr std::uint32_t kPresetStampAddress = 0x070FFC;
inline constexpr std::uint32_t kSystemStampAddress = 0x110FE0;
inline constexpr std::uint32_t kBootStampOffset = 0x4AFFC;
inline constexpr std::uint32_t kPresetStampOffset = 0x25FFC;
inline constexpr std::uint32_t kSystemStampOffset = 0xFE0;

inline constexpr int kPlanSteps = 10;

// The constant description of the supported device.
struct ProductProfile {
    std::array<PlanStep, kPlanSteps> updatePlan;
    std::array<std::uint32_t, 1> acceptedIdentities;
    MemoryReadTemplate memoryReadTemplate;
};

inline constexpr ProductProfile kProductProfile = {
    // The version block is erased first and written last, so an interrupted update never
    // leaves a device that claims a complete firmware.
    .updatePlan = {{
        {1, 0x110000, 0x1000, 0},
        {1, 0x04B000, 0x26000, 0},
        {2, 0x04B000, 0, kPresetImage},
        {1, 0x000000, 0x4B000, 0},
        {2, 0x000000, 0, kBootImage},
        {1, 0x071000, 0x9F000, 0},
        {2, 0x071000, 0, kSystemImage},
        {1, 0x1CB000, 0xE35000, 0},
        {2, 0x1CB000, 0, kUpperImage},
        {2, 0x110000, 0, kVersionBlockImage},
    }},
    .acceptedIdentities = {0x0010006E},
    .memoryReadTemplate = kMemoryReadTemplate,
};

}  // namespace pxr9
