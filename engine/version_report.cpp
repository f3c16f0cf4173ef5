#include "engine/version_report.h"

namespace pxr9 {

std::string buildVersionReport(const UpdaterState& state) {
    std::string text =
        "SYSTEM:\t\t" + state.deviceSystemVersion + " -> " + state.carriedSystemVersion;
    text += "\nPRESET:\t\t" + state.devicePresetVersion;
    if (!state.carriedPresetVersion.empty() &&
        state.carriedPresetVersion != state.devicePresetVersion) {
        text += " -> " + state.carriedPresetVersion;
    }
    text += "\nBOOT:\t\t" + state.deviceBootVersion;
    if (!state.carriedBootVersion.empty() && state.carriedBootVersion != state.deviceBootVersion) {
        text += " -> " + state.carriedBootVersion;
    }
    return text;
}

void showVersionReport(UpdaterState& state) {
    state.surface.showVersionReport(buildVersionReport(state));
}

}  // namespace pxr9
