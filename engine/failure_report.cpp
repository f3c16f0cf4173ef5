#include "engine/failure_report.h"

#include "engine/message_table.h"

namespace pxr9 {

ProcedureOutcome showErrorMessage(UpdaterState& state, std::uint32_t messageId, std::string cause) {
    std::string text = loadMessage(messageId);
    state.surface.showError(text, cause);
    return ProcedureOutcome::failed(std::move(text), std::move(cause));
}

ProcedureOutcome reportFailure(UpdaterState& state, std::uint32_t messageId, std::string cause) {
    ProcedureOutcome shown = showErrorMessage(state, messageId, std::move(cause));
    releaseControls(state);
    return shown;
}

ProcedureOutcome reportDeviceGone(UpdaterState& state, std::uint32_t messageId) {
    return reportFailure(state, messageId, kDeviceGoneCause);
}

ProcedureOutcome reportNoAnswer(UpdaterState& state, const Reply& reply, std::uint32_t messageId) {
    switch (reply.kind()) {
        case Reply::Kind::Abort:
            return ProcedureOutcome::aborted();
        case Reply::Kind::DeviceGone:
            return reportDeviceGone(state, messageId);
        default:
            return reportFailure(state, messageId);
    }
}

void releaseControls(UpdaterState& state) {
    state.surface.releaseControls();
    state.busy.store(0);
}

}  // namespace pxr9
