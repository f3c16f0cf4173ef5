#include "engine/identity_check.h"

#include <algorithm>

#include "engine/failure_report.h"
#include "engine/message_table.h"
#include "engine/product_profile.h"
#include "engine/reply_wait.h"

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
    const Reply reply = exchangeIdentity(state, kIdentityTimeoutMs);
    switch (reply.kind()) {
        case Reply::Kind::Abort:
            return ProcedureOutcome::aborted();
        case Reply::Kind::NotSent:
            return reply.sendFoundDeviceGone() ? fail(kMsgCantOpenMidiOut, kDeviceGoneCause)
                                               : fail(kMsgCantOpenMidiOut);
        case Reply::Kind::DeviceGone:
            return fail(kMsgStartTimeout, kDeviceGoneCause);
        case Reply::Kind::Timeout:
        case Reply::Kind::Silent:
            return fail(kMsgStartTimeout);
        // Only an Identity Reply identifies the device; any other answer (a status, even 0, or
        // a Read Data) says nothing of what it is.
        case Reply::Kind::Status:
        case Reply::Kind::ReadData:
            return fail(kMsgIllegalDevice);
        case Reply::Kind::Identity:
            break;
    }
    // Stored before the comparison: a rejected device's word is kept as well.
    const std::uint32_t identity = reply.identityWord();
    state.link.currentIdentity.store(identity);
    const auto& accepted = kProductProfile.acceptedIdentities;
    if (std::find(accepted.begin(), accepted.end(), identity) != accepted.end()) {
        return ProcedureOutcome::completed();
    }
    return fail(kMsgIllegalDevice);
}

}  // namespace pxr9
