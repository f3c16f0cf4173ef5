#include "engine/request_resend.h"

#include "engine/failure_report.h"

namespace pxr9 {

ProcedureOutcome sendWithResends(UpdaterState& state, int resends, std::uint32_t pauseMs,
                                 const std::function<AttemptResult()>& attempt) {
    for (int resent = 0;; ++resent) {
        const AttemptResult result = attempt();
        if (result.kind == AttemptResult::Kind::Settled) return result.outcome;
        if (resent == resends) return reportFailure(state, result.failure(), result.failureMessage);
        state.clock.sleep(pauseMs);
    }
}

}  // namespace pxr9
