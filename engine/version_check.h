#pragma once

#include "engine/procedure_outcome.h"
#include "engine/updater_state.h"

namespace pxr9 {

// The version check: identity, then the SYSTEM, PRESET and BOOT stamps into the state's
// version texts. Completed when the report can be shown; a failed read shows nothing, so its
// failure carries no text. The controls stay disabled in every case. The caller has opened
// both ports, disabled the controls, set busy and reset the reply event.
ProcedureOutcome runVersionCheck(UpdaterState& state);

// Thread entry of "Version Check"; returns 0 in every case. Runs the check, closes both
// ports and posts its completion, which gives the controls back.
int versionCheckWorker(UpdaterState& state);

}  // namespace pxr9
