#include "engine/update_procedure.h"

#include "engine/count_text.h"
#include "engine/failure_report.h"
#include "engine/identity_check.h"
#include "engine/message_table.h"
#include "engine/product_profile.h"
#include "engine/reply_wait.h"
#include "engine/update_plan.h"
#include "protocol/requests.h"

namespace pxr9 {

namespace {

constexpr std::uint32_t kUpdateStartTimeoutMs = 30000;
constexpr std::uint32_t kUpdateEndTimeoutMs = 30000;
constexpr std::uint32_t kPauseBeforePlanMs = 500;
constexpr std::int32_t kNotInUpdateMode = 11;

}  // namespace

ProcedureOutcome runUpdate(UpdaterState& state) {
    state.surface.setStepText(formatCounts("0/%d", kPlanSteps, 0));
    if (ProcedureOutcome identity = checkIdentity(state, ControlsAfterFailure::Release);
        !identity.isCompleted()) {
        return identity;
    }
    state.link.hostIdentity.store(state.link.currentIdentity.load());

    switch (exchange(
        state,
        [&state] {
            sendUpdateStart(state.link);
            state.surface.setStatusText(loadMessage(kMsgErasing));
        },
        kUpdateStartTimeoutMs)) {
        case ExchangeResult::Abort:
            return ProcedureOutcome::aborted();
        case ExchangeResult::Gone:
            return reportDeviceGone(state, kMsgTimeout1);
        case ExchangeResult::Timeout:
        case ExchangeResult::Unsettled:
            return reportFailure(state, kMsgTimeout1);
        case ExchangeResult::Reply:
            break;
    }
    state.surface.setStatusText("");
    const std::int32_t code = state.link.replyCode.load();
    if (code == kNotInUpdateMode) return reportFailure(state, kMsgUseUpdateMode);
    if (code != 0) return reportFailure(state, kMsgTransferError);

    state.clock.sleep(kPauseBeforePlanMs);
    if (ProcedureOutcome plan = runUpdatePlan(state); !plan.isCompleted()) return plan;

    switch (exchange(
        state, [&state] { sendUpdateEnd(state.link); }, kUpdateEndTimeoutMs)) {
        case ExchangeResult::Abort:
            return ProcedureOutcome::aborted();
        case ExchangeResult::Gone:
            return reportDeviceGone(state, kMsgTransferError);
        case ExchangeResult::Timeout:
        case ExchangeResult::Unsettled:
            return reportFailure(state, kMsgTransferError);
        // Any answer completes the update, whatever its status: what the device means by
        // a status here is not known, and every region has been written and accepted.
        case ExchangeResult::Reply:
            break;
    }
    state.surface.setStatusText(loadMessage(kMsgUpdateCompleted));
    releaseControls(state);
    state.surface.enableStartButtons(false);
    return ProcedureOutcome::completed();
}

int updateWorker(UpdaterState& state) {
    runUpdate(state);
    return 0;
}

}  // namespace pxr9
