#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace pxr9 {

// A read-only view of an image embedded in the executable; valid for the whole process.
struct ResourceView {
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
};

// The embedded image with this id, or none.
std::optional<ResourceView> findResource(std::uint32_t id);

}  // namespace pxr9
