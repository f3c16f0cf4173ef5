#include "engine/reply_wait.h"

#include "protocol/requests.h"

namespace pxr9 {

namespace {

// What ends a wait besides an answer; none while the run goes on.
std::optional<Reply> interruption(const UpdaterState& state) {
    if (state.abortRequested.load()) return Reply::abort();
    if (state.link.deviceGone.load()) return Reply::deviceGone();
    return std::nullopt;
}

// Waits for the answer to the request just sent. An abort requested by the front end ends
// the wait as Abort, a device that went away as DeviceGone, whatever was handed over.
Reply awaitAnswer(UpdaterState& state, std::uint32_t timeoutMs) {
    if (const auto before = interruption(state)) return *before;
    const bool signalled = state.link.replyEvent.wait(timeoutMs);
    if (const auto after = interruption(state)) return *after;
    if (!signalled) return Reply::timeout();
    // The event is signalled only after an answer was left, or for the two cases above.
    return state.link.takeAnswer().value_or(Reply::timeout());
}

enum class SendResult { Examined, Ignored };

Reply identityExchange(UpdaterState& state, std::uint32_t timeoutMs, SendResult sendResult) {
    // With an answer to an earlier request still owed (a run that ended on a timeout), this
    // exchange is the barrier that settles the line: what comes before the Identity Reply is
    // dropped. On a settled line, the first answer is the device's own, whatever it is.
    const Expect expect =
        state.link.answerOutstanding.load() ? Expect::IdentityReply : Expect::AnyAnswer;
    if (!sendIdentityRequest(state.link, expect) && sendResult == SendResult::Examined) {
        return Reply::notSent(state.link.deviceGone.load());
    }
    const Reply reply = awaitAnswer(state, timeoutMs);
    // Only an Identity Reply settles the line: after any other answer the device's own
    // reply may still come.
    if (reply.kind() == Reply::Kind::Identity) state.link.answerOutstanding.store(false);
    return reply;
}

}  // namespace

Reply exchangeIdentity(UpdaterState& state, std::uint32_t timeoutMs) {
    return identityExchange(state, timeoutMs, SendResult::Examined);
}

Reply exchange(UpdaterState& state, const std::function<void()>& send, std::uint32_t timeoutMs) {
    // A device known to be gone is not sent to.
    if (state.link.deviceGone.load()) return Reply::deviceGone();
    if (state.link.answerOutstanding.load()) {
        // The barrier: see the header.
        const Reply settled = identityExchange(state, kLatestAnswerMs, SendResult::Ignored);
        if (settled.kind() == Reply::Kind::Timeout) return Reply::silent();
        if (!settled.isAnswer()) return settled;
    }
    send();
    const Reply reply = awaitAnswer(state, timeoutMs);
    if (reply.isAnswer()) state.link.answerOutstanding.store(false);
    return reply;
}

}  // namespace pxr9
