#include "firmware/resources.h"

#include <array>

// Defined by embedded_images.S: each image's bytes in read-only data, and its length.
#define PXR9_EMBEDDED_IMAGE(id)                                 \
    extern "C" const std::uint8_t pxr9_firmware_##id##_begin[]; \
    extern "C" const std::uint64_t pxr9_firmware_##id##_size;
PXR9_EMBEDDED_IMAGE(142)
PXR9_EMBEDDED_IMAGE(133)
PXR9_EMBEDDED_IMAGE(129)
PXR9_EMBEDDED_IMAGE(139)
PXR9_EMBEDDED_IMAGE(136)
#undef PXR9_EMBEDDED_IMAGE

namespace pxr9 {
namespace {

struct EmbeddedImage {
    std::uint32_t id;
    const std::uint8_t* begin;
    const std::uint64_t* size;
};

const std::array<EmbeddedImage, 5> kEmbedded{{
    {142, pxr9_firmware_142_begin, &pxr9_firmware_142_size},
    {133, pxr9_firmware_133_begin, &pxr9_firmware_133_size},
    {129, pxr9_firmware_129_begin, &pxr9_firmware_129_size},
    {139, pxr9_firmware_139_begin, &pxr9_firmware_139_size},
    {136, pxr9_firmware_136_begin, &pxr9_firmware_136_size},
}};

}  // namespace

std::optional<ResourceView> findResource(std::uint32_t id) {
    for (const EmbeddedImage& image : kEmbedded) {
        if (image.id == id) {
            return ResourceView{image.begin, static_cast<std::size_t>(*image.size)};
        }
    }
    return std::nullopt;
}

}  // namespace pxr9
