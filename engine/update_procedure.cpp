#include <algorithm>

#include "engine/message_table.h"
#include "engine/product_profile.h"
#include "engine/reply_wait.h"
#include "engine/update_plan.h"
#include "engine/workers.h"
#include "protocol/requests.h"

namespace pxr9 {

namespace {

constexpr std::uint32_t kIdentityTimeoutMs = 30000;
constexpr std::uint32_t kUpdateStartTimeoutMs = 30000;
constexpr std::uint32_t kUpdateEndTimeoutMs = 30000;
constexpr std::uint32_t kPauseBeforePlanMs = 500;
constexpr std::int32_t kNotInUpdateMode = 11;

// The identity exchange both procedures begin with. The update also hands the controls back
// after a failed send; the version check leaves that to its completion message.
int exchangeIdentity(UpdaterState& state, bool releaseAfterSendFailure) {
    if (sendIdentityRequest(state.link) != 0) {
        showErrorMessage(state, kMsgCantOpenMidiOut);
        if (releaseAfterSendFailure) releaseControls(state);
        return -1;
    }
    switch (awaitReply(state, kIdentityTimeoutMs)) {
        case WaitResult::Abort: return -1;
        case WaitResult::Timeout: reportFailure(state, kMsgTimeout1); return -1;
        case WaitResult::Reply: break;
    }
    if (state.link.replyCode.load() != 0) {
        reportFailure(state, kMsgIllegalDevice);
        return -1;
    }
    // Stored before the comparison: a rejected device's word is kept as well.
    const std::uint32_t identity = state.link.deviceIdentity.load();
    state.link.currentIdentity.store(identity);
    const auto& accepted = kProductProfile.acceptedIdentities;
    if (std::find(accepted.begin(), accepted.end(), identity) != accepted.end()) return 0;
    reportFailure(state, kMsgIllegalDevice);
    return -1;
}

}  // namespace

int checkIdentity(UpdaterState& state) { return exchangeIdentity(state, false); }

int updateWorker(UpdaterState& state) {
    state.surface.setStepText(formatCounts("0/%d", kPlanSteps, 0));
    if (exchangeIdentity(state, true) != 0) return 0;
    state.link.hostIdentity.store(state.link.currentIdentity.load());

    sendUpdateStart(state.link);
    state.surface.setStatusText(loadMessage(kMsgErasing));
    switch (awaitReply(state, kUpdateStartTimeoutMs)) {
        case WaitResult::Abort: return 0;
        case WaitResult::Timeout: reportFailure(state, kMsgTimeout1); return 0;
        case WaitResult::Reply: break;
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
        case WaitResult::Abort: return 0;
        case WaitResult::Timeout: reportFailure(state, kMsgTransferError); return 0;
        case WaitResult::Reply: break;  // any answer completes the update
    }
    state.surface.setStatusText(loadMessage(kMsgUpdateCompleted));
    releaseControls(state);
    state.surface.enableStartButtons(false);
    return 0;
}

}  // namespace pxr9
