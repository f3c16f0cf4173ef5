#include "engine/identity_check.h"

#include <algorithm>

#include "engine/failure_report.h"
#include "engine/message_table.h"
#include "engine/product_profile.h"
#include "engine/reply_wait.h"
#include "protocol/requests.h"

namespace pxr9 {

namespace {

constexpr std::uint32_t kIdentityTimeoutMs = kLatestAnswerMs;

}  // namespace

ProcedureOutcome checkIdentity(UpdaterState& state, ControlsAfterFailure controls) {
    auto fail = [&](std::uint32_t messageId, std::string cause = {}) {
        ProcedureOutcome shown = showErrorMessage(state, messageId, std::move(cause));
        if (controls == ControlsAfterFailure::Release) releaseControls(state);
        return shown;
    };
    // With an answer to an earlier request still owed (a run that ended on a timeout), this
    // exchange is the barrier that settles the line: what comes before the Identity Reply is
    // dropped. On a settled line, the first answer is the device's own, whatever it is.
    const Expect expect =
        state.link.answerOutstanding.load() ? Expect::IdentityReply : Expect::AnyAnswer;
    if (!sendIdentityRequest(state.link, expect)) {
        return state.link.deviceGone.load() ? fail(kMsgCantOpenMidiOut, kDeviceGoneCause)
                                            : fail(kMsgCantOpenMidiOut);
    }
    switch (awaitReply(state, kIdentityTimeoutMs)) {
        case WaitResult::Abort:
            return ProcedureOutcome::aborted();
        case WaitResult::Gone:
            return fail(kMsgTimeout1, kDeviceGoneCause);
        case WaitResult::Timeout:
            return fail(kMsgTimeout1);
        case WaitResult::Reply:
            break;
    }
    // Only an Identity Reply of this exchange identifies the device; any other answer (a
    // status, even 0, or a Read Data) says nothing of what it is, and must not let a word
    // left by an earlier check pass. Its own reply may still come.
    if (state.link.replyKind.load() != ReplyKind::Identity) return fail(kMsgIllegalDevice);
    state.link.answerOutstanding.store(false);
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
