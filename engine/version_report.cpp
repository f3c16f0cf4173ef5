#include "engine/version_report.h"

namespace pxr9 {

std::string buildVersionReport(const UpdaterState& state) {
    std::string text =
        "SYSTEM:\t\t" + state.versions.device.system + " -> " + state.versions.carried.system;
    text += "\nPRESET:\t\t" + state.versions.device.preset;
    if (!state.versions.carried.preset.empty() &&
        state.versions.carried.preset != state.versions.device.preset) {
        text += " -> " + state.versions.carried.preset;
    }
    text += "\nBOOT:\t\t" + state.versions.device.boot;
    if (!state.versions.carried.boot.empty() &&
        state.versions.carried.boot != state.versions.device.boot) {
        text += " -> " + state.versions.carried.boot;
    }
    return text;
}

void showVersionReport(UpdaterState& state) {
    state.surface.showVersionReport(buildVersionReport(state));
}

}  // namespace pxr9
