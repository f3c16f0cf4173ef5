#include "engine/identity_check.h"

#include <algorithm>

#include "engine/failure_report.h"
#include "engine/message_table.h"
#include "engine/product_profile.h"
#include "engine/reply_wait.h"
#include "protocol/requests.h"

namespace pxr9 {

namespace {

constexpr std::uint32_t kIdentityTimeoutMs = 30000;

}  // namespace

ProcedureOutcome checkIdentity(UpdaterState& state, ControlsAfterFailure controls) {
    auto fail = [&](std::uint32_t messageId) {
        ProcedureOutcome shown = showErrorMessage(state, messageId);
        if (controls == ControlsAfterFailure::Release) releaseControls(state);
        return shown;
    };
    if (!sendIdentityRequest(state.link)) return fail(kMsgCantOpenMidiOut);
    switch (awaitReply(state, kIdentityTimeoutMs)) {
        case WaitResult::Abort:
            return ProcedureOutcome::aborted();
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
    if (std::find(accepted.begin(), accepted.end(), identity) != accepted.end()) {
        return ProcedureOutcome::completed();
    }
    return fail(kMsgIllegalDevice);
}

}  // namespace pxr9
