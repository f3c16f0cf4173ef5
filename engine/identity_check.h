#pragma once

#include "engine/procedure_outcome.h"
#include "engine/updater_state.h"

namespace pxr9 {

// What a failed identity check does with the controls after its error box. The update hands
// them back at once. The version check never does: its completion does, once the ports are
// closed and the worker is done; controls enabled any earlier would let a new command open
// ports that the ending check then closes.
enum class ControlsAfterFailure { Release, KeepDisabled };

// The identity exchange both procedures begin with: Completed when the device answered with
// an accepted identity, else the failure it reported or the abort.
ProcedureOutcome checkIdentity(UpdaterState& state, ControlsAfterFailure controls);

}  // namespace pxr9
