#pragma once

#include "engine/procedure_outcome.h"
#include "engine/updater_state.h"

namespace pxr9 {

// The update: identity, Update Start, the plan, Update End. Every failure has shown its box
// and handed the controls back; completion shows its status text and hands them back with
// "Execute" and "Version Check" disabled. The caller has opened both ports, disabled the
// controls, set busy and reset the reply event.
ProcedureOutcome runUpdate(UpdaterState& state);

// Thread entry of "Execute": runs the update; returns 0 in every case.
int updateWorker(UpdaterState& state);

}  // namespace pxr9
