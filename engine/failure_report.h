#pragma once

#include <cstdint>

#include "engine/updater_state.h"

namespace pxr9 {

// Error box with a text of the message table.
void showErrorMessage(UpdaterState& state, std::uint32_t messageId);
// Error box, then the controls come back: the order every reported failure follows.
void reportFailure(UpdaterState& state, std::uint32_t messageId);
// Enables the controls through the surface, then clears busy.
void releaseControls(UpdaterState& state);

}  // namespace pxr9
