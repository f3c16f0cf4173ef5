#pragma once

#include <cstdint>
#include <functional>

#include "engine/updater_state.h"
#include "protocol/reply.h"

namespace pxr9 {

// The latest a device answers any request, and the wait for an Identity Reply.
inline constexpr std::uint32_t kLatestAnswerMs = 30000;

// The protocol carries no sequence number: nothing in an answer tells which request it
// belongs to. What keeps every answer with its own request is this rule:
//
//   The device answers every request once and in order, within kLatestAnswerMs or never.
//   A request leaves only when no answer to an earlier one can still be on its way.
//
// While every answer comes within its wait, that holds by itself, at no cost. After a wait
// ran out (or ended without its answer), the answer may still come. Then, before the next
// request leaves, an Identity Request goes out as a barrier: the device answers it after
// everything it owes, within kLatestAnswerMs, with a reply nothing else resembles. Every
// message before that Identity Reply is dropped; once it is in, nothing is owed any more.
// The requests and the dispatcher add the rest: a message that came before a request left
// never ends that request's wait, and a request takes the first answer only, so a stray
// message between two requests is dropped too.
//
// Sends one request through `send` and returns what ended its wait: the device's answer, a
// Timeout after timeoutMs, an Abort or DeviceGone. With an earlier answer outstanding it
// settles the line first, and returns Silent, without sending, when the barrier was not
// answered: the device is not answering at all. The send's own result is not examined: a
// request that did not leave ends in the wait's timeout, or at once when the device is gone.
Reply exchange(UpdaterState& state, const std::function<void()>& send, std::uint32_t timeoutMs);

// The Identity Request, which is its own barrier: with an answer outstanding only its
// Identity Reply ends the wait. Its send is examined: NotSent when it did not leave.
Reply exchangeIdentity(UpdaterState& state, std::uint32_t timeoutMs);

}  // namespace pxr9
