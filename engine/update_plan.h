#pragma once

#include <cstdint>
#include <optional>

#include "engine/procedure_outcome.h"
#include "engine/updater_state.h"
#include "protocol/reply.h"

namespace pxr9 {

// The ten steps, after the boot-stamp check: Completed when all ran or were skipped, else the
// failure reported or the abort.
ProcedureOutcome runUpdatePlan(UpdaterState& state);
// Completed when the device accepted the erase.
ProcedureOutcome eraseRegion(UpdaterState& state, std::uint32_t address, std::uint32_t size);
// Completed when every block was accepted.
ProcedureOutcome writeImage(UpdaterState& state, std::uint32_t address, std::uint32_t size,
                            std::uint32_t resourceId);

// What a read of one word came to. Shows nothing.
struct WordRead {
    // What ended the exchange: the device's answer, or why none came.
    Reply reply;
    // The four bytes at the address, first byte lowest, when the answer carried them.
    std::optional<std::uint32_t> word;
};
WordRead readWord(UpdaterState& state, std::uint32_t address);

}  // namespace pxr9
