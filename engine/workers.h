#pragma once

#include <cstdint>
#include <string>

#include "engine/updater_state.h"

namespace pxr9 {

// Thread entry points; each returns 0 in every case. The caller has opened both ports,
// disabled the controls, set busy and reset the reply event.
int updateWorker(UpdaterState& state);
int versionCheckWorker(UpdaterState& state);

// 0 when the device answered with an accepted identity, -1 after a reported failure or abort.
// Leaves the controls disabled: the version check's completion gives them back.
int checkIdentity(UpdaterState& state);

// The version report from the six version texts.
std::string buildVersionReport(const UpdaterState& state);
// Builds the report and shows it through the surface (on the dialog's thread).
void showVersionReport(UpdaterState& state);

// Enables the controls through the surface, then clears busy.
void releaseControls(UpdaterState& state);

}  // namespace pxr9
