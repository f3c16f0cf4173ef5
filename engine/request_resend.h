#pragma once

#include <cstdint>
#include <functional>
#include <utility>

#include "engine/procedure_outcome.h"
#include "engine/updater_state.h"

namespace pxr9 {

// What one attempt of a request came to.
struct AttemptResult {
    enum class Kind {
        Settled,   // accepted, failed for good or aborted: `outcome` says which
        Refused,   // the device answered with a refusal
        TimedOut,  // no answer within the wait; it may still come
    };
    Kind kind = Kind::Settled;
    ProcedureOutcome outcome;
    // Refused or TimedOut: the text reported when no resend is left.
    std::uint32_t failureMessage = 0;

    static AttemptResult settled(ProcedureOutcome outcome) {
        return {Kind::Settled, std::move(outcome), 0};
    }
    static AttemptResult refused(std::uint32_t messageId) { return {Kind::Refused, {}, messageId}; }
    static AttemptResult timedOut(std::uint32_t messageId) {
        return {Kind::TimedOut, {}, messageId};
    }
    // Why a last attempt that did not settle failed.
    FailureKind failure() const {
        return kind == Kind::TimedOut ? FailureKind::Timeout : FailureKind::Refused;
    }
};

// Makes `attempt` (send the request, wait for its answer) until one is settled, resending at
// most `resends` times, `pauseMs` after the attempt before. The last attempt's failure is
// reported when none is left. A resend after a timed-out attempt goes through exchange(),
// which settles the line first, so the late answer to that attempt is never taken for the
// resend's.
ProcedureOutcome sendWithResends(UpdaterState& state, int resends, std::uint32_t pauseMs,
                                 const std::function<AttemptResult()>& attempt);

}  // namespace pxr9
