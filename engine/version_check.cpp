#include "engine/version_check.h"

#include <cstring>

#include "engine/identity_check.h"
#include "engine/product_profile.h"
#include "engine/reply_wait.h"
#include "engine/update_plan.h"
#include "engine/version_text.h"

namespace pxr9 {

namespace {

// The carried stamp, up to its first zero byte; empty when the image is missing.
std::string carriedVersionText(const UpdaterState& state, std::uint32_t id, std::uint32_t offset) {
    const auto image = state.findResource(id);
    if (!image || image->size < offset + 4) return {};
    const char* stamp = reinterpret_cast<const char*>(image->data + offset);
    return std::string(stamp, strnlen(stamp, 4));
}

}  // namespace

int versionCheckWorker(UpdaterState& state) {
    std::int32_t result = -1;
    std::uint32_t word = 0;
    if (checkIdentity(state, ControlsAfterFailure::KeepDisabled) == 0 &&
        readDeviceWord(state, kSystemStampAddress, word) == 0) {
        state.deviceSystemVersion = deviceVersionText(word);
        state.carriedSystemVersion =
            carriedVersionText(state, kVersionBlockImageId, kSystemStampOffset);
        const ReadResult preset = readWord(state, kPresetStampAddress, word);
        if (preset == ReadResult::Ok) {
            state.devicePresetVersion = deviceVersionText(word);
            state.carriedPresetVersion =
                carriedVersionText(state, kPresetImageId, kPresetStampOffset);
        }
        // A failed PRESET read is passed over, but an abort ends the check: the dialog is
        // going away and must not wait for one more read. A PRESET answer still on its way
        // must not be read as the BOOT stamp.
        const bool goOn =
            preset != ReadResult::Aborted &&
            (preset != ReadResult::TimedOut || settleAfterTimeout(state) == SettleResult::Quiet);
        if (goOn && !state.abortRequested.load() &&
            readDeviceWord(state, kBootStampAddress, word) == 0) {
            state.deviceBootVersion = deviceVersionText(word);
            state.carriedBootVersion = carriedVersionText(state, kBootImageId, kBootStampOffset);
            result = 0;
        }
    }
    state.out.close();
    if (state.in.isOpen()) state.in.close();
    // The controls come back only with this completion, after both ports are closed; a
    // failed identity check showed its box but left them disabled.
    state.surface.postVersionCheckDone(result);
    return 0;
}

}  // namespace pxr9
