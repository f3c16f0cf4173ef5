#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "sim/sim_config.h"
#include "tests/doubles/virtual_world.h"

namespace pxr9::testing {

// First address where the flash differs from what a finished update must leave, or an
// empty text when it matches the memory map byte for byte. `bootWritten` false expects the
// boot region as the device held it before.
std::string firstFlashMismatch(std::span<const std::uint8_t> flash, const sim::SimConfig& config,
                               bool bootWritten);

// Flash regions untouched since start: every byte as the device held it at start.
std::string firstChangeIn(std::span<const std::uint8_t> flash, const sim::SimConfig& config,
                          std::uint32_t begin, std::uint32_t end);

// A device whose boot stamp differs from the carried one, so that every step runs, and
// which answers at once.
sim::SimConfig oldBootDevice();

// Messages the host sent with this maker-specific command byte.
std::vector<SentMessage> sentWithCommand(const std::vector<SentMessage>& sent,
                                         std::uint8_t command);
bool isIdentityRequest(const std::vector<std::uint8_t>& m);
// A test of a sent message, and the one for this maker-specific command byte.
using Match = std::function<bool(const std::vector<std::uint8_t>&)>;
Match command(std::uint8_t cmd);
// Write Block fields.
std::uint32_t blockAddress(const SentMessage& m);
std::uint32_t blockLength(const SentMessage& m);

}  // namespace pxr9::testing
