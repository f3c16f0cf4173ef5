#pragma once

#include "engine/updater_state.h"

namespace pxr9 {

// Thread entry of "Version Check"; returns 0 in every case. The caller has opened both
// ports, disabled the controls, set busy and reset the reply event. Ends by closing both
// ports and posting its completion, which gives the controls back.
int versionCheckWorker(UpdaterState& state);

}  // namespace pxr9
