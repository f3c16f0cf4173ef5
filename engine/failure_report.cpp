#include "engine/failure_report.h"

#include "engine/message_table.h"

namespace pxr9 {

void showErrorMessage(UpdaterState& state, std::uint32_t messageId) {
    state.surface.showError(loadMessage(messageId));
}

void reportFailure(UpdaterState& state, std::uint32_t messageId) {
    showErrorMessage(state, messageId);
    releaseControls(state);
}

void releaseControls(UpdaterState& state) {
    state.surface.releaseControls();
    state.busy.store(0);
}

}  // namespace pxr9
