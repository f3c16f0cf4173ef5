#pragma once

#include <cstdint>

#include "engine/updater_state.h"

namespace pxr9 {

enum class WaitResult { Reply, Timeout, Abort };

// Waits for the reply event. A signal with the abort value, or an abort requested by the
// dialog, ends the wait as Abort; replyCode may then be read only for a Reply.
WaitResult awaitReply(UpdaterState& state, std::uint32_t timeoutMs);

// The protocol carries no sequence number: nothing in an answer tells which request it
// belongs to. Two rules keep an answer to the request it belongs to:
// - every request resets the reply event right before it leaves (protocol/requests.h), so an
//   answer that came before cannot end its wait;
// - after a wait ran out, the answer to that request may still be on its way. Before the
//   next request leaves, the line must have been quiet for kSettleMs: every answer that
//   arrives meanwhile is dropped and starts the quiet period again.
// So as long as the device answers within a request's wait plus kSettleMs, or not at all, no
// late answer is ever taken for a later request. Nothing of this runs while every answer
// comes in time: it costs nothing then.
inline constexpr std::uint32_t kSettleMs = 2000;
// A device that keeps talking past this many dropped answers is not trusted any further.
inline constexpr int kMaxStrayAnswers = 16;

enum class SettleResult { Quiet, Noisy, Aborted };

// Drops stray answers after a timed-out wait until the line has been quiet for kSettleMs.
SettleResult settleAfterTimeout(UpdaterState& state);

}  // namespace pxr9
