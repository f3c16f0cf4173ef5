#include "sim/flash_contents.h"

#include <bit>
#include <cstring>

namespace pxr9::sim {

namespace {

std::uint64_t splitMix64(std::uint64_t x) {
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

std::uint64_t patternWord(std::uint64_t seed, std::uint32_t address) {
    return splitMix64(seed ^ (static_cast<std::uint64_t>(address >> 3) * 0xD6E8FEB86659FD93ull));
}

// One hash gives eight consecutive bytes, least significant first; any 0xFF byte becomes
// 0xFE. Done on the whole word so that filling 16 MiB stays quick in unoptimised builds.
std::uint64_t withoutFF(std::uint64_t word) {
    constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Full;
    const std::uint64_t inverted = ~word;
    // High bit of each byte set where that byte of `inverted` is non-zero.
    const std::uint64_t nonZero = (((inverted & kLow7) + kLow7) | inverted) & ~kLow7;
    const std::uint64_t ffBytes = ~nonZero & ~kLow7;
    return word & ~(ffBytes >> 7);
}

std::uint8_t patternByte(std::uint64_t word, std::uint32_t address) {
    return static_cast<std::uint8_t>(withoutFF(word) >> (8 * (address & 7u)));
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
        const std::uint64_t word = withoutFF(patternWord(config.flashSeed, base));
        if constexpr (std::endian::native == std::endian::little) {
            std::memcpy(&flash[base], &word, sizeof word);
        } else {
            for (std::uint32_t i = 0; i < 8; ++i) {
                flash[base + i] = static_cast<std::uint8_t>(word >> (8 * i));
            }
        }
    }
    placeStamp(flash, kBootStampAddress, config.stamps.boot);
    placeStamp(flash, kPresetStampAddress, config.stamps.preset);
    placeStamp(flash, kSystemStampAddress, config.stamps.system);
    return flash;
}

}  // namespace pxr9::sim
