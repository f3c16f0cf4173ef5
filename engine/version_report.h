#pragma once

#include <string>

#include "engine/updater_state.h"

namespace pxr9 {

// The version report from the six version texts.
std::string buildVersionReport(const UpdaterState& state);
// Builds the report and shows it through the surface (on the dialog's thread).
void showVersionReport(UpdaterState& state);

}  // namespace pxr9
