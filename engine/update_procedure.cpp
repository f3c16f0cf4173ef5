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

int updateWorker(UpdaterState& state) {
    state.surface.setStepText(formatCounts("0/%d", kPlanSteps, 0));
    if (checkIdentity(state, ControlsAfterFailure::Release) != 0) return 0;
    state.link.hostIdentity.store(state.link.currentIdentity.load());

    sendUpdateStart(state.link);
    state.surface.setStatusText(loadMessage(kMsgErasing));
    switch (awaitReply(state, kUpdateStartTimeoutMs)) {
        case WaitResult::Abort:
            return 0;
        case WaitResult::Timeout:
            reportFailure(state, kMsgTimeout1);
            return 0;
        case WaitResult::Reply:
            break;
    }
    state.surface.setStatusText("");
    const std::int32_t code = state.link.replyCode.load();
    if (code == kNotInUpdateMode) {
        reportFailure(state, kMsgUseUpdateMode);
        return 0;
    }
    if (code != 0) {
        reportFailure(state, kMsgTransferError);
        return 0;
    }

    state.clock.sleep(kPauseBeforePlanMs);
    if (runUpdatePlan(state) < 0) return 0;

    sendUpdateEnd(state.link);
    switch (awaitReply(state, kUpdateEndTimeoutMs)) {
        case WaitResult::Abort:
            return 0;
        case WaitResult::Timeout:
            reportFailure(state, kMsgTransferError);
            return 0;
        // Any answer completes the update, whatever its status: what the device means by
        // a status here is not known, and every region has been written and accepted.
        case WaitResult::Reply:
            break;
    }
    state.surface.setStatusText(loadMessage(kMsgUpdateCompleted));
    releaseControls(state);
    state.surface.enableStartButtons(false);
    return 0;
}

}  // namespace pxr9
