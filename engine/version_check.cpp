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
ProcedureOutcome readFailure(UpdaterState& state, const Reply& reply) {
    switch (reply.kind()) {
        case Reply::Kind::Abort:
            return ProcedureOutcome::aborted();
        case Reply::Kind::DeviceGone:
            state.surface.showError(kDeviceGoneCause);
            return ProcedureOutcome::failed(FailureKind::DeviceGone, kDeviceGoneCause);
        case Reply::Kind::Status:
        case Reply::Kind::Identity:
        case Reply::Kind::ReadData:
            return ProcedureOutcome::failed(FailureKind::Refused, {});
        case Reply::Kind::Timeout:
        case Reply::Kind::Silent:
        case Reply::Kind::NotSent:
            break;
    }
    return ProcedureOutcome::failed(FailureKind::Timeout, {});
}

ProcedureOutcome readVersions(UpdaterState& state) {
    if (ProcedureOutcome identity = checkIdentity(state); !identity.isCompleted()) {
        return identity;
    }

    const WordRead system = readWord(state, kSystemStampAddress);
    if (!system.word) return readFailure(state, system.reply);
    state.versions.device.system = deviceVersionText(*system.word);
    state.versions.carried.system =
        carriedVersionText(state, kVersionBlockImageId, kSystemStampOffset);

    // A failed PRESET read is passed over, but an abort ends the check: the dialog is going
    // away and must not wait for one more read; so does a device that went away. A PRESET
    // answer still on its way is never read as the BOOT stamp: the BOOT read settles the line
    // first.
    const WordRead preset = readWord(state, kPresetStampAddress);
    if (preset.word) {
        state.versions.device.preset = deviceVersionText(*preset.word);
        state.versions.carried.preset =
            carriedVersionText(state, kPresetImageId, kPresetStampOffset);
    }
    if (preset.reply.kind() == Reply::Kind::Abort ||
        preset.reply.kind() == Reply::Kind::DeviceGone) {
        return readFailure(state, preset.reply);
    }

    const WordRead boot = readWord(state, kBootStampAddress);
    if (!boot.word) return readFailure(state, boot.reply);
    state.versions.device.boot = deviceVersionText(*boot.word);
    state.versions.carried.boot = carriedVersionText(state, kBootImageId, kBootStampOffset);
    return ProcedureOutcome::completed();
}

}  // namespace

ProcedureOutcome runVersionCheck(UpdaterState& state) {
    ProcedureOutcome outcome = readVersions(state);
    // Unlike the update, the check leaves no port open: the next command opens them afresh.
    state.channel.out.close();
    if (state.channel.in.isOpen()) state.channel.in.close();
    return outcome;
}

}  // namespace pxr9
