#include "sim/flash_contents.h"

namespace pxr9::sim {

namespace {

std::uint64_t splitMix64(std::uint64_t x) {
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

// One hash gives eight consecutive bytes, so the whole flash fills quickly.
std::uint8_t patternByte(std::uint64_t word, std::uint32_t address) {
    const auto b = static_cast<std::uint8_t>(word >> (8 * (address & 7u)));
    return b == 0xFF ? 0xFE : b;
}

std::uint64_t patternWord(std::uint64_t seed, std::uint32_t address) {
    return splitMix64(seed ^ (static_cast<std::uint64_t>(address >> 3) * 0xD6E8FEB86659FD93ull));
}

void placeStamp(std::vector<std::uint8_t>& flash, std::uint32_t address,
                const VersionStamp& stamp) {
    for (std::size_t i = 0; i < stamp.size(); ++i) flash[address + i] = stamp[i];
}

const VersionStamp* stampCovering(const SimConfig& config, std::uint32_t address,
                                  std::uint32_t& offset) {
    struct Place {
        std::uint32_t address;
        const VersionStamp* stamp;
    };
    const Place places[] = {{kBootStampAddress, &config.stamps.boot},
                            {kPresetStampAddress, &config.stamps.preset},
                            {kSystemStampAddress, &config.stamps.system}};
    for (const Place& place : places) {
        if (address >= place.address && address - place.address < place.stamp->size()) {
            offset = address - place.address;
            return place.stamp;
        }
    }
    return nullptr;
}

}  // namespace

std::uint8_t oldFirmwareByte(std::uint64_t seed, std::uint32_t address) {
    return patternByte(patternWord(seed, address), address);
}

std::uint8_t initialFlashByte(const SimConfig& config, std::uint32_t address) {
    std::uint32_t offset = 0;
    if (const VersionStamp* stamp = stampCovering(config, address, offset)) return (*stamp)[offset];
    return oldFirmwareByte(config.flashSeed, address);
}

std::vector<std::uint8_t> makeInitialFlash(const SimConfig& config) {
    std::vector<std::uint8_t> flash(kFlashSize);
    for (std::uint32_t base = 0; base < kFlashSize; base += 8) {
        const std::uint64_t word = patternWord(config.flashSeed, base);
        for (std::uint32_t i = 0; i < 8; ++i) flash[base + i] = patternByte(word, base + i);
    }
    placeStamp(flash, kBootStampAddress, config.stamps.boot);
    placeStamp(flash, kPresetStampAddress, config.stamps.preset);
    placeStamp(flash, kSystemStampAddress, config.stamps.system);
    return flash;
}

}  // namespace pxr9::sim
