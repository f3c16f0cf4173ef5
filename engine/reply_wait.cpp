#include "engine/reply_wait.h"

#include "protocol/requests.h"

namespace pxr9 {

namespace {

ExchangeResult asExchange(WaitResult result) {
    switch (result) {
        case WaitResult::Reply:
            return ExchangeResult::Reply;
        case WaitResult::Timeout:
            return ExchangeResult::Timeout;
        case WaitResult::Abort:
            return ExchangeResult::Abort;
        case WaitResult::Gone:
            break;
    }
    return ExchangeResult::Gone;
}

// The barrier: see exchange() in the header.
WaitResult settleLine(UpdaterState& state) {
    sendIdentityRequest(state.link, Expect::IdentityReply);
    const WaitResult settled = awaitReply(state, kLatestAnswerMs);
    if (settled == WaitResult::Reply) state.link.answerOutstanding.store(false);
    return settled;
}

}  // namespace

WaitResult awaitReply(UpdaterState& state, std::uint32_t timeoutMs) {
    auto ended = [&state] {
        if (state.abortRequested.load()) return WaitResult::Abort;
        if (state.link.deviceGone.load()) return WaitResult::Gone;
        return WaitResult::Reply;
    };
    if (const WaitResult before = ended(); before != WaitResult::Reply) return before;
    const bool signalled = state.link.replyEvent.wait(timeoutMs);
    if (const WaitResult after = ended(); after != WaitResult::Reply) return after;
    if (!signalled) return WaitResult::Timeout;
    return state.link.replyCode.load() == kAbortReplyCode ? WaitResult::Abort : WaitResult::Reply;
}

ExchangeResult exchange(UpdaterState& state, const std::function<void()>& send,
                        std::uint32_t timeoutMs) {
    // A device known to be gone is not sent to.
    if (state.link.deviceGone.load()) return ExchangeResult::Gone;
    if (state.link.answerOutstanding.load()) {
        const WaitResult settled = settleLine(state);
        if (settled == WaitResult::Timeout) return ExchangeResult::Unsettled;
        if (settled != WaitResult::Reply) return asExchange(settled);
    }
    // The send's result is not examined: a request that did not leave ends in the wait's
    // timeout, or at once when the device is gone.
    send();
    const WaitResult result = awaitReply(state, timeoutMs);
    if (result == WaitResult::Reply) state.link.answerOutstanding.store(false);
    return asExchange(result);
}

}  // namespace pxr9
