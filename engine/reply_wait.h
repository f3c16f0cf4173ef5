#pragma once

#include <cstdint>
#include <string>

#include "engine/updater_state.h"

namespace pxr9 {

enum class WaitResult { Reply, Timeout, Abort };

// Waits for the reply event. A signal with the abort value, or an abort requested by the
// dialog, ends the wait as Abort; replyCode may then be read only for a Reply.
WaitResult awaitReply(UpdaterState& state, std::uint32_t timeoutMs);

// Error box with a text of the message table.
void showErrorMessage(UpdaterState& state, std::uint32_t messageId);
// Error box, then the controls come back: the order every reported failure follows.
void reportFailure(UpdaterState& state, std::uint32_t messageId);

// "%d/%d"-style texts of the step counter and the status line.
std::string formatCounts(const std::string& format, int first, int second);

}  // namespace pxr9
