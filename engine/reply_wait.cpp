#include "engine/reply_wait.h"

namespace pxr9 {

WaitResult awaitReply(UpdaterState& state, std::uint32_t timeoutMs) {
    if (state.abortRequested.load()) return WaitResult::Abort;
    const bool signalled = state.link.replyEvent.wait(timeoutMs);
    if (state.abortRequested.load()) return WaitResult::Abort;
    if (!signalled) return WaitResult::Timeout;
    return state.link.replyCode.load() == kAbortReplyCode ? WaitResult::Abort : WaitResult::Reply;
}

SettleResult settleAfterTimeout(UpdaterState& state) {
    for (int strays = 0; strays <= kMaxStrayAnswers; ++strays) {
        switch (awaitReply(state, kSettleMs)) {
            case WaitResult::Timeout:
                return SettleResult::Quiet;
            case WaitResult::Abort:
                return SettleResult::Aborted;
            case WaitResult::Reply:
                break;  // a late answer to the request that timed out
        }
    }
    return SettleResult::Noisy;
}

}  // namespace pxr9
