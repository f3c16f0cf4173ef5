#pragma once

#include <cstdint>
#include <string>

#include "engine/procedure_outcome.h"
#include "engine/updater_state.h"
#include "protocol/reply.h"

namespace pxr9 {

// Shown under a step's text when the device went away during it.
inline constexpr const char* kDeviceGoneCause = "The device was disconnected.";

// Error box with a text of the message table and, under it, the cause when there is one;
// returns the failure that carries them. The front end hands its controls back once the
// procedure has ended, so always after the box was dismissed.
ProcedureOutcome reportFailure(UpdaterState& state, FailureKind why, std::uint32_t messageId,
                               std::string cause = {});
// The step's own text, with the device's disconnection as its cause.
ProcedureOutcome reportDeviceGone(UpdaterState& state, std::uint32_t messageId);
// A step whose exchange brought no answer: an abort ends it without a word; anything else
// shows the step's text, with the device's disconnection as its cause when it went away.
ProcedureOutcome reportNoAnswer(UpdaterState& state, const Reply& reply, std::uint32_t messageId);

}  // namespace pxr9
