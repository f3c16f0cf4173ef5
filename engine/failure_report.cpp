#include "engine/failure_report.h"

#include "engine/message_table.h"

namespace pxr9 {

ProcedureOutcome reportFailure(UpdaterState& state, FailureKind why, std::uint32_t messageId,
                               std::string cause) {
    std::string text = loadMessage(messageId);
    state.surface.showError(text, cause);
    return ProcedureOutcome::failed(why, std::move(text), std::move(cause));
}

ProcedureOutcome reportDeviceGone(UpdaterState& state, std::uint32_t messageId) {
    return reportFailure(state, FailureKind::DeviceGone, messageId, kDeviceGoneCause);
}

ProcedureOutcome reportNoAnswer(UpdaterState& state, const Reply& reply, std::uint32_t messageId) {
    switch (reply.kind()) {
        case Reply::Kind::Abort:
            return ProcedureOutcome::aborted();
        case Reply::Kind::DeviceGone:
            return reportDeviceGone(state, messageId);
        case Reply::Kind::NotSent:
            return reply.sendFoundDeviceGone() ? reportDeviceGone(state, messageId)
                                               : reportFailure(state, FailureKind::Port, messageId);
        default:
            return reportFailure(state, FailureKind::Timeout, messageId);
    }
}

}  // namespace pxr9
