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

}  // namespace

ProcedureOutcome runUpdate(UpdaterState& state) {
    state.surface.setStepText(formatCounts("0/%d", kPlanSteps, 0));
    if (ProcedureOutcome identity = checkIdentity(state); !identity.isCompleted()) {
        return identity;
    }
    state.link.hostIdentity.store(state.link.currentIdentity.load());

    const Reply started = exchange(
        state,
        [&state] {
            sendUpdateStart(state.link);
            state.surface.setStatusText(loadMessage(kMsgErasing));
        },
        kUpdateStartTimeoutMs);
    if (!started.isAnswer()) return reportNoAnswer(state, started, kMsgStartTimeout);
    state.surface.setStatusText("");
    if (started.kind() == Reply::Kind::Status && started.statusCode() == kStatusNotInUpdateMode) {
        return reportFailure(state, FailureKind::NotInUpdateMode, kMsgUseUpdateMode);
    }
    if (!started.isAccepted()) {
        return reportFailure(state, FailureKind::Refused, kMsgTransferError);
    }

    state.clock.sleep(kPauseBeforePlanMs);
    if (ProcedureOutcome plan = runUpdatePlan(state); !plan.isCompleted()) return plan;

    // Any answer completes the update, whatever its status: what the device means by a status
    // here is not known, and every region has been written and accepted.
    if (const Reply ended = exchange(
            state, [&state] { sendUpdateEnd(state.link); }, kUpdateEndTimeoutMs);
        !ended.isAnswer()) {
        return reportNoAnswer(state, ended, kMsgTransferError);
    }
    state.surface.setStatusText(loadMessage(kMsgUpdateCompleted));
    return ProcedureOutcome::completed();
}

}  // namespace pxr9
