#include "tools/sim/sim_report.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "sim/flash_contents.h"
#include "sim/flash_layout.h"
#include "sim/request_kind.h"
#include "tools/sim/sha256.h"
#include "tools/sim/stamp_text.h"

namespace pxr9::tools {

namespace {

constexpr std::uint32_t kBootStampOffset = 0x4AFFC;

void hashInitialContent(Sha256& hash, const FlashRegion& region, const sim::SimConfig& config) {
    std::vector<std::uint8_t> bytes(region.size);
    for (std::uint32_t i = 0; i < region.size; ++i) {
        bytes[i] = sim::initialFlashByte(config, region.start + i);
    }
    hash.update(bytes);
}

bool startedWithImageBootStamp(const ResourceView& image, const sim::SimConfig& config) {
    return image.size >= kBootStampOffset + 4 &&
           std::memcmp(image.data + kBootStampOffset, config.stamps.boot.data(), 4) == 0;
}

sim::VersionStamp stampAt(std::span<const std::uint8_t> flash, std::uint32_t address) {
    sim::VersionStamp stamp{};
    std::copy_n(flash.begin() + address, stamp.size(), stamp.begin());
    return stamp;
}

}  // namespace

const std::vector<FlashRegion>& flashRegions() {
    static const std::vector<FlashRegion> regions = {
        {"boot", 0x000000, 0x4B000, 142, RegionExpectation::BootImageIfChanged},
        {"preset", 0x04B000, 0x26000, 133, RegionExpectation::Image},
        {"system", 0x071000, 0x9F000, 129, RegionExpectation::Image},
        {"version", 0x110000, 0x1000, 139, RegionExpectation::Image},
        {"gap", 0x111000, 0x1CB000 - 0x111000, 0, RegionExpectation::Untouched},
        {"upper", 0x1CB000, 0xE35000, 136, RegionExpectation::Image},
    };
    return regions;
}

std::optional<std::string> expectedRegionHash(const FlashRegion& region,
                                              const sim::SimConfig& config,
                                              const ImageLookup& lookup) {
    Sha256 hash;
    if (region.expectation == RegionExpectation::Untouched) {
        hashInitialContent(hash, region, config);
        return toHex(hash.finish());
    }
    const auto image = lookup(region.imageId);
    if (!image || image->data == nullptr) return std::nullopt;
    if (region.expectation == RegionExpectation::BootImageIfChanged &&
        startedWithImageBootStamp(*image, config)) {
        // The update compares boot stamps and leaves an equal boot region alone.
        hashInitialContent(hash, region, config);
        return toHex(hash.finish());
    }
    const std::size_t imageBytes = std::min<std::size_t>(image->size, region.size);
    hash.update({image->data, imageBytes});
    hash.updateRepeated(0xFF, region.size - imageBytes);
    return toHex(hash.finish());
}

std::string buildSimReport(const sim::SimDevice& device, const std::string& portName,
                           const ImageLookup& lookup) {
    const auto flash = device.flash();
    std::string json = "{\n  \"port\": " + jsonString(portName) + ",\n";

    json += "  \"stamps\": {\n";
    json +=
        "    \"boot\": " + jsonString(escapeStamp(stampAt(flash, sim::kBootStampAddress))) + ",\n";
    json += "    \"preset\": " + jsonString(escapeStamp(stampAt(flash, sim::kPresetStampAddress))) +
            ",\n";
    json += "    \"system\": " + jsonString(escapeStamp(stampAt(flash, sim::kSystemStampAddress))) +
            "\n";
    json += "  },\n";

    json += "  \"regions\": {\n";
    const auto& regions = flashRegions();
    for (std::size_t i = 0; i < regions.size(); ++i) {
        const FlashRegion& region = regions[i];
        const std::string actual = toHex(sha256(flash.subspan(region.start, region.size)));
        const auto expected = expectedRegionHash(region, device.config(), lookup);
        char place[64];
        std::snprintf(place, sizeof place, "\"start\": \"0x%06X\", \"size\": %u", region.start,
                      region.size);
        json += "    \"" + std::string(region.name) + "\": {" + place + ", \"sha256\": \"" +
                actual + "\", \"expectedSha256\": " +
                (expected ? "\"" + *expected + "\"" : std::string("null")) +
                ", \"matchesUpdate\": " + (expected && *expected == actual ? "true" : "false") +
                "}" + (i + 1 < regions.size() ? ",\n" : "\n");
    }
    json += "  },\n";

    json += "  \"requests\": {";
    for (sim::RequestKind kind : sim::kAllRequestKinds) {
        json += "\"" + std::string(sim::requestKindName(kind)) +
                "\": " + std::to_string(device.counts()[kind]) + ", ";
    }
    json += "\"ignored\": " + std::to_string(device.counts().ignored) + "},\n";
    json += std::string("  \"silent\": ") + (device.silent() ? "true" : "false") + "\n}\n";
    return json;
}

}  // namespace pxr9::tools
