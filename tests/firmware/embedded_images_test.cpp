#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "firmware/generated_image.h"
#include "firmware/images.h"
#include "firmware/resources.h"

namespace pxr9::testing {
namespace {

std::string_view bytesOf(const ResourceView& view, std::size_t offset, std::size_t length) {
    return {reinterpret_cast<const char*>(view.data) + offset, length};
}

bool isStamp(std::string_view s) {
    auto digit = [](char c) { return c >= '0' && c <= '9'; };
    return s.size() == 4 && digit(s[0]) && s[1] == '.' && digit(s[2]) && digit(s[3]);
}

// Written out here rather than taken from images.h, so a slip in either one shows.
struct ExpectedImage {
    std::uint32_t id;
    std::size_t size;
    std::ptrdiff_t stampOffset;  // -1: no stamp
    std::string_view standInStamp;
};
constexpr ExpectedImage kExpected[] = {
    {142, 307200, 0x4AFFC, "1.00"}, {133, 155648, 0x25FFC, "1.00"}, {129, 561488, -1, ""},
    {139, 4096, 0xFE0, "1.10"},     {136, 14897152, -1, ""},
};

TEST(EmbeddedImages, EachHasItsSizeAndStamp) {
    for (const ExpectedImage& expected : kExpected) {
        SCOPED_TRACE(expected.id);
        const ImageInfo* info = findImageInfo(expected.id);
        ASSERT_NE(info, nullptr);
        EXPECT_EQ(info->size, expected.size);
        EXPECT_EQ(info->stampOffset.has_value(), expected.stampOffset >= 0);

        const std::optional<ResourceView> view = findResource(expected.id);
        ASSERT_TRUE(view.has_value());
        ASSERT_NE(view->data, nullptr);
        ASSERT_EQ(view->size, expected.size);
        if (expected.stampOffset < 0) continue;
        EXPECT_EQ(*info->stampOffset, static_cast<std::size_t>(expected.stampOffset));
        const std::string_view stamp = bytesOf(*view, expected.stampOffset, 4);
        EXPECT_TRUE(isStamp(stamp)) << stamp;
#ifdef PXR9_STAND_IN_FIRMWARE
        EXPECT_EQ(stamp, expected.standInStamp);
#endif
    }
    EXPECT_EQ(kImages.size(), std::size(kExpected));
}

TEST(EmbeddedImages, UnknownIdsHaveNone) {
    // Neighbours of the real ids, and ids that would match if an id were truncated.
    for (std::uint32_t id : {0u, 1u, 128u, 130u, 134u, 137u, 141u, 143u, 142u + 0x10000u,
                             139u + 0x100u, 0xFFFFFFFFu}) {
        EXPECT_FALSE(findResource(id).has_value()) << id;
        EXPECT_EQ(findImageInfo(id), nullptr) << id;
    }
}

// The flags of the mapping in /proc/self/maps holding `address`, or "" if none does.
std::string mappingFlags(const void* address) {
    const auto target = reinterpret_cast<std::uintptr_t>(address);
    std::ifstream maps("/proc/self/maps");
    std::string line;
    while (std::getline(maps, line)) {
        std::istringstream fields(line);
        std::uintptr_t begin = 0, end = 0;
        char dash = 0;
        std::string flags;
        fields >> std::hex >> begin >> dash >> end >> flags;
        if (target >= begin && target < end) return flags;
    }
    return "";
}

TEST(EmbeddedImages, ViewsPointStraightIntoReadOnlyData) {
    for (const ImageInfo& info : kImages) {
        SCOPED_TRACE(info.id);
        const std::optional<ResourceView> first = findResource(info.id);
        const std::optional<ResourceView> second = findResource(info.id);
        ASSERT_TRUE(first && second);
        EXPECT_EQ(first->data, second->data);
        EXPECT_EQ(first->size, second->size);
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(first->data) % 64, 0u);

        const std::string head = mappingFlags(first->data);
        const std::string tail = mappingFlags(first->data + first->size - 1);
        ASSERT_FALSE(head.empty());
        EXPECT_EQ(head.substr(0, 2), "r-");
        EXPECT_EQ(tail.substr(0, 2), "r-");
    }
}

// If blocks repeated, a block written to the wrong place would go unnoticed.
TEST(EmbeddedImages, NoTwoBlocksAlikeWithinOrAcrossImages) {
    constexpr std::size_t kBlock = 4096;
    std::unordered_set<std::string_view> seen;
    for (const ImageInfo& info : kImages) {
        if (info.id == kVersionBlockImageId) continue;  // one block, mostly erased by design
        SCOPED_TRACE(info.id);
        const ResourceView view = findResource(info.id).value();
        for (std::size_t offset = 0; offset < view.size; offset += kBlock) {
            const std::size_t length = std::min(kBlock, view.size - offset);
            EXPECT_TRUE(seen.insert(bytesOf(view, offset, length)).second) << "offset " << offset;
        }
    }
}

// Two images alike at the start would hide an image sent in place of another.
TEST(EmbeddedImages, ImagesDifferFromEachOther) {
    for (std::size_t a = 0; a < kImages.size(); ++a) {
        for (std::size_t b = a + 1; b < kImages.size(); ++b) {
            const ResourceView x = findResource(kImages[a].id).value();
            const ResourceView y = findResource(kImages[b].id).value();
            const std::size_t length = std::min({x.size, y.size, std::size_t{4096}});
            std::size_t equal = 0;
            for (std::size_t i = 0; i < length; ++i) equal += x.data[i] == y.data[i];
            EXPECT_LT(equal, length / 16) << kImages[a].id << " vs " << kImages[b].id;
        }
    }
}

#ifdef PXR9_STAND_IN_FIRMWARE

TEST(EmbeddedImages, VersionBlockIsErasedButForStampAndMaker) {
    std::vector<std::uint8_t> expected(4096, 0xFF);
    std::memcpy(&expected[0xFE0], "1.10", 4);
    std::memcpy(&expected[0xFF0], "Kevo Corporation", 16);

    const ResourceView view = findResource(139).value();
    ASSERT_EQ(view.size, expected.size());
    EXPECT_EQ(std::vector<std::uint8_t>(view.data, view.data + view.size), expected);
}

// Catches a stale or wrong file taken in by the assembler, or bytes lost at its edges.
TEST(EmbeddedImages, EmbeddedBytesAreTheGeneratedOnes) {
    for (const ImageInfo& info : kImages) {
        SCOPED_TRACE(info.id);
        const ResourceView view = findResource(info.id).value();
        const std::vector<std::uint8_t> generated = generateImage(info, defaultStamp(info.id));
        ASSERT_EQ(view.size, generated.size());
        EXPECT_EQ(std::memcmp(view.data, generated.data(), view.size), 0);
    }
}

#endif

}  // namespace
}  // namespace pxr9::testing
