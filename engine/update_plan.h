#pragma once

#include <cstdint>

#include "engine/updater_state.h"

namespace pxr9 {

// The ten steps, after the boot-stamp check; 0 when all ran or were skipped, -1 otherwise
// (failures already reported).
int runUpdatePlan(UpdaterState& state);
// 0 when the device accepted the erase, -1 otherwise.
int eraseRegion(UpdaterState& state, std::uint32_t address, std::uint32_t size);
// 0 when every block was accepted, -1 otherwise.
int writeImage(UpdaterState& state, std::uint32_t address, std::uint32_t size,
               std::uint32_t resourceId);
// 0 and the four bytes read (first byte lowest), or -1; shows nothing.
int readDeviceWord(UpdaterState& state, std::uint32_t address, std::uint32_t& word);

enum class ReadResult { Ok, Failed, TimedOut, Aborted };
// readDeviceWord, telling a read that got no answer (whose answer may still come) from one
// whose answer was refused and from an abort.
ReadResult readWord(UpdaterState& state, std::uint32_t address, std::uint32_t& word);

}  // namespace pxr9
