#include "engine/version_check.h"

#include <cstring>

#include "engine/failure_report.h"
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

// A read that failed shows nothing, one that was aborted ends the check silently as well;
// a device that went away is named, since nothing else would tell the user why.
ProcedureOutcome readFailure(UpdaterState& state, ReadResult result) {
    switch (result) {
        case ReadResult::Aborted:
            return ProcedureOutcome::aborted();
        case ReadResult::DeviceGone:
            state.surface.showError(kDeviceGoneCause);
            return ProcedureOutcome::failed(kDeviceGoneCause);
        case ReadResult::Ok:
        case ReadResult::Failed:
        case ReadResult::TimedOut:
            break;
    }
    return ProcedureOutcome::failed({});
}

}  // namespace

ProcedureOutcome runVersionCheck(UpdaterState& state) {
    if (ProcedureOutcome identity = checkIdentity(state, ControlsAfterFailure::KeepDisabled);
        !identity.isCompleted()) {
        return identity;
    }
    std::uint32_t word = 0;
    if (const ReadResult system = readWord(state, kSystemStampAddress, word);
        system != ReadResult::Ok) {
        return readFailure(state, system);
    }
    state.deviceSystemVersion = deviceVersionText(word);
    state.carriedSystemVersion =
        carriedVersionText(state, kVersionBlockImageId, kSystemStampOffset);

    // A failed PRESET read is passed over, but an abort ends the check: the dialog is going
    // away and must not wait for one more read; so does a device that went away. A PRESET
    // answer still on its way is never read as the BOOT stamp: the BOOT read settles the line
    // first.
    const ReadResult preset = readWord(state, kPresetStampAddress, word);
    if (preset == ReadResult::Ok) {
        state.devicePresetVersion = deviceVersionText(word);
        state.carriedPresetVersion = carriedVersionText(state, kPresetImageId, kPresetStampOffset);
    }
    if (preset == ReadResult::Aborted || preset == ReadResult::DeviceGone) {
        return readFailure(state, preset);
    }

    if (const ReadResult boot = readWord(state, kBootStampAddress, word); boot != ReadResult::Ok) {
        return readFailure(state, boot);
    }
    state.deviceBootVersion = deviceVersionText(word);
    state.carriedBootVersion = carriedVersionText(state, kBootImageId, kBootStampOffset);
    return ProcedureOutcome::completed();
}

int versionCheckWorker(UpdaterState& state) {
    const ProcedureOutcome outcome = runVersionCheck(state);
    state.channel.out.close();
    if (state.channel.in.isOpen()) state.channel.in.close();
    // The controls come back only with this completion, after both ports are closed; a
    // failed identity check showed its box but left them disabled.
    state.surface.postVersionCheckDone(outcome.isCompleted() ? 0 : -1);
    return 0;
}

}  // namespace pxr9
