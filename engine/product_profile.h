#pragma once

#include <array>
#include <cstdint>

#include "firmware/images.h"
#include "protocol/messages.h"

namespace pxr9 {

enum class StepKind : std::uint32_t { Erase = 1, Write = 2 };

struct PlanStep {
    StepKind kind;
    std::uint32_t address;
    // Erase: bytes to erase. Write: bytes to write, 0 = the whole image.
    std::uint32_t size;
    // Write: the embedded image; 0 for Erase.
    std::uint32_t resourceId;
};

// Where the device keeps its version stamps; the images carry theirs at the offsets that
// firmware/images.h gives.
inline constexpr std::uint32_t kBootStampAddress = 0x04AFFC;
inline constexpr std::uint32_t kPresetStampAddress = 0x070FFC;
inline constexpr std::uint32_t kSystemStampAddress = 0x110FE0;
inline constexpr std::uint32_t kBootStampOffset = *findImageInfo(kBootImageId)->stampOffset;
inline constexpr std::uint32_t kPresetStampOffset = *findImageInfo(kPresetImageId)->stampOffset;
inline constexpr std::uint32_t kSystemStampOffset =
    *findImageInfo(kVersionBlockImageId)->stampOffset;

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
        {StepKind::Erase, 0x110000, 0x1000, 0},
        {StepKind::Erase, 0x04B000, 0x26000, 0},
        {StepKind::Write, 0x04B000, 0, kPresetImageId},
        {StepKind::Erase, 0x000000, 0x4B000, 0},
        {StepKind::Write, 0x000000, 0, kBootImageId},
        {StepKind::Erase, 0x071000, 0x9F000, 0},
        {StepKind::Write, 0x071000, 0, kSystemImageId},
        {StepKind::Erase, 0x1CB000, 0xE35000, 0},
        {StepKind::Write, 0x1CB000, 0, kUpperImageId},
        {StepKind::Write, 0x110000, 0, kVersionBlockImageId},
    }},
    .acceptedIdentities = {0x0010006E},
    .memoryReadTemplate = kMemoryReadTemplate,
};

}  // namespace pxr9
