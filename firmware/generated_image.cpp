#include "firmware/generated_image.h"

#include <algorithm>
#include <cstring>

namespace pxr9 {
namespace {

// Spreads a small id over all 64 bits, so that neighbouring ids start far apart.
std::uint64_t mixSeed(std::uint64_t x) {
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

void fillPseudoRandom(std::vector<std::uint8_t>& bytes, std::uint32_t id) {
    std::uint64_t state = mixSeed(id) | 1;  // xorshift must never hold 0
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i % 8 == 0) {
            state ^= state >> 12;
            state ^= state << 25;
            state ^= state >> 27;
        }
        bytes[i] = static_cast<std::uint8_t>((state * 0x2545F4914F6CDD1Dull) >> (8 * (i % 8)));
    }
}

}  // namespace

std::string_view defaultStamp(std::uint32_t id) {
    switch (id) {
        case kBootImageId:
            return "1.00";
        case kPresetImageId:
            return "1.00";
        case kVersionBlockImageId:
            return "1.10";
        default:
            return "";
    }
}

std::vector<std::uint8_t> generateImage(const ImageInfo& info, std::string_view stamp) {
    std::vector<std::uint8_t> bytes(info.size);
    if (info.id == kVersionBlockImageId) {
        std::fill(bytes.begin(), bytes.end(), kErasedByte);
        const std::size_t makerLength = sizeof kMakerString - 1;
        if (kMakerStringOffset + makerLength <= bytes.size()) {
            std::memcpy(bytes.data() + kMakerStringOffset, kMakerString, makerLength);
        }
    } else {
        fillPseudoRandom(bytes, info.id);
    }
    if (info.stampOffset && stamp.size() == kStampSize &&
        *info.stampOffset + kStampSize <= bytes.size()) {
        std::memcpy(bytes.data() + *info.stampOffset, stamp.data(), kStampSize);
    }
    return bytes;
}

}  // namespace pxr9
