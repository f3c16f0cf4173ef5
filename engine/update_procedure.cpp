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

// The identity exchange both procedures begin with. The update hands the controls back after
// each failure it reports. The version check never does: its completion message does, once
// the ports are closed and the worker is done; controls enabled any earlier would let a
// new command open ports that the ending check then closes.
int exchangeIdentity(UpdaterState& state, bool releaseAfterFailure) {
    auto fail = [&](std::uint32_t messageId) {
        showErrorMessage(state, messageId);
        if (releaseAfterFailure) releaseControls(state);
        return -1;
    };
    if (sendIdentityRequest(state.link) != 0) return fail(kMsgCantOpenMidiOut);
    switch (awaitReply(state, kIdentityTimeoutMs)) {
        case WaitResult::Abort:
            return -1;
        case WaitResult::Timeout:
            return fail(kMsgTimeout1);
        case WaitResult::Reply:
            break;
    }
    if (state.link.replyCode.load() != 0) return fail(kMsgIllegalDevice);
    // Stored before the comparison: a rejected device's word is kept as well.
    const std::uint32_t identity = state.link.deviceIdentity.load();
    state.link.currentIdentity.store(identity);
    const auto& accepted = kProductProfile.acceptedIdentities;
    if (std::find(accepted.begin(), accepted.end(), identity) != accepted.end()) return 0;
    return fail(kMsgIllegalDevice);
}

}  // namespace

int checkIdentity(UpdaterState& state) {
    return exchangeIdentity(state, false);
}

int updateWorker(UpdaterState& state) {
    state.surface.setStepText(formatCounts("0/%d", kPlanSteps, 0));
    if (exchangeIdentity(state, true) != 0) return 0;
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
