#pragma once

#include "engine/updater_state.h"

namespace pxr9 {

// Thread entry of "Execute"; returns 0 in every case. The caller has opened both ports,
// disabled the controls, set busy and reset the reply event.
int updateWorker(UpdaterState& state);

}  // namespace pxr9
