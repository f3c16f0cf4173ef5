#include "firmware/generated_image.h"

#include <gtest/gtest.h>

#include <cstring>

namespace pxr9::testing {
namespace {

// Images of another version, for a device that must be told apart from the carried one.
TEST(GeneratedImage, AnotherStampChangesOnlyTheStampBytes) {
    for (const ImageInfo& info : kImages) {
        if (!info.stampOffset) continue;
        SCOPED_TRACE(info.id);
        const std::vector<std::uint8_t> carried = generateImage(info, defaultStamp(info.id));
        const std::vector<std::uint8_t> other = generateImage(info, "0.42");
        ASSERT_EQ(other.size(), info.size);
        EXPECT_EQ(std::memcmp(&other[*info.stampOffset], "0.42", 4), 0);

        std::vector<std::uint8_t> restored = other;
        std::memcpy(&restored[*info.stampOffset], &carried[*info.stampOffset], 4);
        EXPECT_EQ(restored, carried);
    }
}

TEST(GeneratedImage, SameIdSameBytes) {
    const ImageInfo& info = *findImageInfo(kSystemImageId);
    EXPECT_EQ(generateImage(info, ""), generateImage(info, ""));
}

}  // namespace
}  // namespace pxr9::testing
