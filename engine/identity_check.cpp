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

ProcedureOutcome checkIdentity(UpdaterState& state) {
    const Reply reply = exchangeIdentity(state, kIdentityTimeoutMs);
    switch (reply.kind()) {
        case Reply::Kind::Abort:
            return ProcedureOutcome::aborted();
        // The Identity Request is the one request whose failed send is reported as such.
        case Reply::Kind::NotSent:
            return reportNoAnswer(state, reply, kMsgCantOpenMidiOut);
        case Reply::Kind::DeviceGone:
        case Reply::Kind::Timeout:
        case Reply::Kind::Silent:
            return reportNoAnswer(state, reply, kMsgStartTimeout);
        // Only an Identity Reply identifies the device; any other answer (a status, even 0, or
        // a Read Data) says nothing of what it is.
        case Reply::Kind::Status:
        case Reply::Kind::ReadData:
            return reportFailure(state, FailureKind::WrongDevice, kMsgIllegalDevice);
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
    return reportFailure(state, FailureKind::WrongDevice, kMsgIllegalDevice);
}

}  // namespace pxr9
