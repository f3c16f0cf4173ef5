#pragma once

#include <cstdint>

#include "engine/procedure_outcome.h"
#include "engine/updater_state.h"

namespace pxr9 {

// The ten steps, after the boot-stamp check: Completed when all ran or were skipped, else the
// failure reported or the abort.
ProcedureOutcome runUpdatePlan(UpdaterState& state);
// Completed when the device accepted the erase.
ProcedureOutcome eraseRegion(UpdaterState& state, std::uint32_t address, std::uint32_t size);
// Completed when every block was accepted.
ProcedureOutcome writeImage(UpdaterState& state, std::uint32_t address, std::uint32_t size,
                            std::uint32_t resourceId);

enum class ReadResult { Ok, Failed, TimedOut, Aborted, DeviceGone };
// The four bytes at `address` (first byte lowest); tells a read that got no answer from one
// whose answer was refused, from an abort and from a device that went away. Shows nothing.
ReadResult readWord(UpdaterState& state, std::uint32_t address, std::uint32_t& word);

}  // namespace pxr9
