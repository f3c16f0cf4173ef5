#pragma once

#include <cstdint>
#include <vector>

#include "sim/sim_config.h"

namespace pxr9::sim {

// A byte of the pseudo-random "old firmware" that fills the flash before any update; the
// same seed and address always give the same byte. It is never 0xFF, so an erased byte is
// always told apart from one that was never touched.
std::uint8_t oldFirmwareByte(std::uint64_t seed, std::uint32_t address);

// What the device holds at `address` when it starts: the old firmware with the version
// stamps of `config` at their addresses.
std::uint8_t initialFlashByte(const SimConfig& config, std::uint32_t address);

// The whole flash at start (kFlashSize bytes).
std::vector<std::uint8_t> makeInitialFlash(const SimConfig& config);

}  // namespace pxr9::sim
