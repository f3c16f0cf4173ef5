#pragma once

#include "engine/procedure_outcome.h"
#include "engine/updater_state.h"

namespace pxr9 {

// The version check: identity, then the SYSTEM, PRESET and BOOT stamps into the state's
// version texts, and both ports closed in every case. Completed when the report can be
// shown; a failed read shows nothing, so its failure carries no text. Run by a DeviceSession,
// over ports it has opened.
ProcedureOutcome runVersionCheck(UpdaterState& state);

}  // namespace pxr9
