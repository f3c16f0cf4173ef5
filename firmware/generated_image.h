#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "firmware/images.h"

namespace pxr9 {

// The stamp a generated image carries by default ("" for an image without a stamp).
std::string_view defaultStamp(std::uint32_t id);

// The stand-in content of one image: the version block as the device expects it, every other
// image pseudo-random bytes seeded by its id (so a misplaced block shows in a byte comparison)
// with `stamp` (4 bytes, or ignored when the image has no stamp) at its stamp offset.
std::vector<std::uint8_t> generateImage(const ImageInfo& info, std::string_view stamp);

}  // namespace pxr9
