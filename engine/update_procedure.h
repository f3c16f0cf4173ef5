#pragma once

#include "engine/procedure_outcome.h"
#include "engine/updater_state.h"

namespace pxr9 {

// The update: identity, Update Start, the plan, Update End. Every failure has shown its box
// (none for an abort); completion shows its status text. Both ports stay open. Run by a
// DeviceSession, over ports it has opened.
ProcedureOutcome runUpdate(UpdaterState& state);

}  // namespace pxr9
