#include "engine/update_plan.h"

#include <algorithm>
#include <cstring>

#include "engine/count_text.h"
#include "engine/failure_report.h"
#include "engine/message_table.h"
#include "engine/product_profile.h"
#include "engine/reply_wait.h"
#include "engine/request_resend.h"
#include "protocol/requests.h"

namespace pxr9 {

namespace {

constexpr std::uint32_t kReadTimeoutMs = 120000;
constexpr std::uint32_t kEraseTimeoutMs = 120000;
constexpr std::uint32_t kWriteTimeoutMs = 1000;
constexpr int kEraseResends = 6;
constexpr int kBlockResends = 31;
constexpr std::uint32_t kResendPauseMs = 100;
constexpr std::uint32_t kBlockLength = 4096;

}  // namespace

WordRead readWord(UpdaterState& state, std::uint32_t address) {
    const auto send = [&state, address] {
        sendMemoryRead(state.link, kProductProfile.memoryReadTemplate, address, 4);
    };
    const Reply reply = exchange(state, send, kReadTimeoutMs);
    // Only an accepted Read Data carries the word; one of fewer than four bytes (an empty
    // Read Data is accepted) must not pass earlier data off as read.
    if (reply.kind() != Reply::Kind::ReadData || !reply.isAccepted() ||
        state.link.readBuffer.count() < 4) {
        return {reply, std::nullopt};
    }
    return {reply, state.link.readBuffer.firstWord()};
}

namespace {

bool imageWord(const UpdaterState& state, std::uint32_t id, std::uint32_t offset,
               std::uint32_t& word) {
    const auto image = state.findResource(id);
    if (!image || image->size < offset + 4) return false;
    std::memcpy(&word, image->data + offset, 4);  // little-endian, like the device's reply
    return true;
}

void showErasing(UpdaterState& state) {
    state.surface.setProgressPosition(1);
    state.surface.setStatusText(loadMessage(kMsgErasing));
}

}  // namespace

ProcedureOutcome eraseRegion(UpdaterState& state, std::uint32_t address, std::uint32_t size) {
    state.surface.setProgressRange(0, 10);
    const auto send = [&state, address, size] {
        sendFlashErase(state.link, address, size);
        showErasing(state);
    };
    return sendWithResends(state, kEraseResends, kResendPauseMs, [&] {
        // A timeout is never retried; only a refusing reply is.
        const Reply reply = exchange(state, send, kEraseTimeoutMs);
        if (!reply.isAnswer())
            return AttemptResult::settled(reportNoAnswer(state, reply, kMsgEraseTimeout));
        if (!reply.isAccepted()) return AttemptResult::refused(kMsgTransferError);
        state.surface.setProgressPosition(10);
        return AttemptResult::settled(ProcedureOutcome::completed());
    });
}

ProcedureOutcome writeImage(UpdaterState& state, std::uint32_t address, std::uint32_t size,
                            std::uint32_t resourceId) {
    const auto image = state.findResource(resourceId);
    // A missing or short image must never be read past its end or reported as written.
    if (!image || image->size == 0 || size > image->size) {
        return reportFailure(state, FailureKind::MissingImage, kMsgTransferError);
    }
    const std::uint32_t total = size != 0 ? size : static_cast<std::uint32_t>(image->size);
    const std::uint8_t* const imageBytes = image->data;
    state.surface.setProgressRange(0, static_cast<std::int32_t>(total));

    const std::string transmitFormat = loadMessage(kMsgDataTransmit);
    std::uint32_t offset = 0;
    while (offset < total) {
        const std::uint32_t length = std::min(kBlockLength, total - offset);
        // Timeouts and refusals share one count: one block goes out at most 32 times.
        const auto send = [&] {
            sendWriteBlock(state.link, state.link.modelId(), imageBytes + offset, address + offset,
                           length);
            state.surface.setStatusText(
                formatCounts(transmitFormat, static_cast<int>(offset), static_cast<int>(total)));
        };
        ProcedureOutcome block = sendWithResends(state, kBlockResends, kResendPauseMs, [&] {
            const Reply reply = exchange(state, send, kWriteTimeoutMs);
            // A device that did not answer the barrier either (Silent) is not answering at
            // all: no resend would be answered.
            if (reply.kind() == Reply::Kind::Timeout)
                return AttemptResult::timedOut(kMsgWriteTimeout);
            if (!reply.isAnswer()) {
                return AttemptResult::settled(reportNoAnswer(state, reply, kMsgWriteTimeout));
            }
            if (!reply.isAccepted()) return AttemptResult::refused(kMsgTransferError);
            return AttemptResult::settled(ProcedureOutcome::completed());
        });
        if (!block.isCompleted()) return block;
        offset += length;
        state.surface.setProgressPosition(static_cast<std::int32_t>(offset));
    }
    return ProcedureOutcome::completed();
}

ProcedureOutcome runUpdatePlan(UpdaterState& state) {
    const auto& plan = kProductProfile.updatePlan;
    bool bootDiffers = true;
    const bool hasBootStep = std::any_of(plan.begin(), plan.end(),
                                         [](const PlanStep& step) { return step.address == 0; });
    if (hasBootStep) {
        const WordRead device = readWord(state, kBootStampAddress);
        // Nothing has been erased yet when the read fails; say so and hand the dialog back.
        if (!device.reply.isAnswer()) return reportNoAnswer(state, device.reply, kMsgTransferError);
        if (!device.word) return reportFailure(state, FailureKind::Refused, kMsgTransferError);
        std::uint32_t carriedStamp = 0;
        if (imageWord(state, kBootImageId, kBootStampOffset, carriedStamp) &&
            carriedStamp == *device.word) {
            bootDiffers = false;
        }
    }
    for (int n = 1; n <= kPlanSteps; ++n) {
        const PlanStep& step = plan[n - 1];
        state.surface.setStepText(formatCounts("%d/%d", n, kPlanSteps));
        if (step.address == 0 && !bootDiffers) continue;
        ProcedureOutcome result = ProcedureOutcome::completed();
        if (step.kind == StepKind::Erase) {
            result = eraseRegion(state, step.address, step.size);
        } else if (step.kind == StepKind::Write) {
            result = writeImage(state, step.address, step.size, step.resourceId);
        }
        if (!result.isCompleted()) return result;
    }
    return ProcedureOutcome::completed();
}

}  // namespace pxr9
