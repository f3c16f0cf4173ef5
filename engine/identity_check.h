#pragma once

#include "engine/procedure_outcome.h"
#include "engine/updater_state.h"

namespace pxr9 {

// The identity exchange both procedures begin with: Completed when the device answered with
// an accepted identity, else the failure it reported or the abort.
ProcedureOutcome checkIdentity(UpdaterState& state);

}  // namespace pxr9
