#include "engine/failure_report.h"

#include "engine/message_table.h"

namespace pxr9 {

ProcedureOutcome showErrorMessage(UpdaterState& state, std::uint32_t messageId) {
    std::string text = loadMessage(messageId);
    state.surface.showError(text);
    return ProcedureOutcome::failed(std::move(text));
}

ProcedureOutcome reportFailure(UpdaterState& state, std::uint32_t messageId) {
    ProcedureOutcome shown = showErrorMessage(state, messageId);
    releaseControls(state);
    return shown;
}

void releaseControls(UpdaterState& state) {
    state.surface.releaseControls();
    state.busy.store(0);
}

}  // namespace pxr9
