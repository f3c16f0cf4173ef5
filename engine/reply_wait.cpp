#include "engine/reply_wait.h"

#include <cstdio>

#include "engine/message_table.h"
#include "engine/workers.h"

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

void showErrorMessage(UpdaterState& state, std::uint32_t messageId) {
    state.surface.showError(loadMessage(messageId));
}

void reportFailure(UpdaterState& state, std::uint32_t messageId) {
    showErrorMessage(state, messageId);
    releaseControls(state);
}

void releaseControls(UpdaterState& state) {
    state.surface.releaseControls();
    state.busy.store(0);
}

std::string formatCounts(const std::string& format, int first, int second) {
    char text[128];
    const int n = std::snprintf(text, sizeof text, format.c_str(), first, second);
    return n < 0 ? std::string() : std::string(text);
}

}  // namespace pxr9
