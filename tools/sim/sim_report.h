#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "firmware/resources.h"
#include "sim/sim_device.h"

namespace pxr9::tools {

using ImageLookup = std::function<std::optional<ResourceView>(std::uint32_t id)>;

// What a region must hold after a correct update.
enum class RegionExpectation {
    Image,               // the image, then erased bytes up to the end of the region
    Untouched,           // as the device held it at start
    BootImageIfChanged,  // the image, unless the device started with the image's boot stamp
};

struct FlashRegion {
    const char* name;
    std::uint32_t start;
    std::uint32_t size;
    std::uint32_t imageId;  // 0: none
    RegionExpectation expectation;
};

// The memory map, in address order; the gap between the version block and the upper region
// is never touched by an update.
const std::vector<FlashRegion>& flashRegions();

// SHA-256 (hex) of what `region` must hold after a correct update of a device that started
// with `config`; none when an image it needs is missing.
std::optional<std::string> expectedRegionHash(const FlashRegion& region,
                                              const sim::SimConfig& config,
                                              const ImageLookup& lookup);

// The JSON summary of a device: stamps held, a hash per region beside the hash a correct
// update leaves, and the requests received by kind.
std::string buildSimReport(const sim::SimDevice& device, const std::string& portName,
                           const ImageLookup& lookup);

}  // namespace pxr9::tools
