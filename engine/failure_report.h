#pragma once

#include <cstdint>

#include "engine/procedure_outcome.h"
#include "engine/updater_state.h"

namespace pxr9 {

// Error box with a text of the message table; returns the failure that carries that text.
ProcedureOutcome showErrorMessage(UpdaterState& state, std::uint32_t messageId);
// Error box, then the controls come back: the order every reported failure follows.
ProcedureOutcome reportFailure(UpdaterState& state, std::uint32_t messageId);
// Enables the controls through the surface, then clears busy.
void releaseControls(UpdaterState& state);

}  // namespace pxr9
