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

ReadResult readWord(UpdaterState& state, std::uint32_t address, std::uint32_t& word) {
    const auto send = [&state, address] {
        sendMemoryRead(state.link, kProductProfile.memoryReadTemplate, address, 4);
    };
    switch (exchange(state, send, kReadTimeoutMs)) {
        case ExchangeResult::Abort:
            return ReadResult::Aborted;
        case ExchangeResult::Gone:
            return ReadResult::DeviceGone;
        case ExchangeResult::Timeout:
        case ExchangeResult::Unsettled:
            return ReadResult::TimedOut;
        case ExchangeResult::Reply:
            break;
    }
    // A reply that ends the wait without carrying the four bytes (a wrong byte 5 keeps the
    // previous code, an empty Read Data is accepted) must not pass stale data off as read.
    if (state.link.replyCode.load() != 0 || state.link.readBuffer.count() < 4) {
        return ReadResult::Failed;
    }
    word = state.link.readBuffer.firstWord();
    return ReadResult::Ok;
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
        switch (exchange(state, send, kEraseTimeoutMs)) {
            case ExchangeResult::Abort:
                return AttemptResult::settled(ProcedureOutcome::aborted());
            case ExchangeResult::Gone:
                return AttemptResult::settled(reportDeviceGone(state, kMsgTimeout3));
            // A timeout is never retried; only a refusing reply is.
            case ExchangeResult::Timeout:
            case ExchangeResult::Unsettled:
                return AttemptResult::settled(reportFailure(state, kMsgTimeout3));
            case ExchangeResult::Reply:
                break;
        }
        if (state.link.replyCode.load() != 0) return AttemptResult::refused(kMsgTransferError);
        state.surface.setProgressPosition(10);
        return AttemptResult::settled(ProcedureOutcome::completed());
    });
}

ProcedureOutcome writeImage(UpdaterState& state, std::uint32_t address, std::uint32_t size,
                            std::uint32_t resourceId) {
    const auto image = state.findResource(resourceId);
    // A missing or short image must never be read past its end or reported as written.
    if (!image || image->size == 0 || size > image->size) {
        return reportFailure(state, kMsgTransferError);
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
            switch (exchange(state, send, kWriteTimeoutMs)) {
                case ExchangeResult::Abort:
                    return AttemptResult::settled(ProcedureOutcome::aborted());
                case ExchangeResult::Gone:
                    return AttemptResult::settled(reportDeviceGone(state, kMsgTimeout2));
                case ExchangeResult::Timeout:
                    return AttemptResult::timedOut(kMsgTimeout2);
                // The device did not answer the barrier either: no resend would be answered.
                case ExchangeResult::Unsettled:
                    return AttemptResult::settled(reportFailure(state, kMsgTimeout2));
                case ExchangeResult::Reply:
                    break;
            }
            if (state.link.replyCode.load() != 0) return AttemptResult::refused(kMsgTransferError);
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
        std::uint32_t deviceStamp = 0;
        switch (readWord(state, kBootStampAddress, deviceStamp)) {
            case ReadResult::Aborted:
                return ProcedureOutcome::aborted();
            case ReadResult::DeviceGone:
                return reportDeviceGone(state, kMsgTransferError);
            case ReadResult::Failed:
            case ReadResult::TimedOut:
                // Nothing has been erased yet; say so and hand the dialog back.
                return reportFailure(state, kMsgTransferError);
            case ReadResult::Ok:
                break;
        }
        std::uint32_t carriedStamp = 0;
        if (imageWord(state, kBootImageId, kBootStampOffset, carriedStamp) &&
            carriedStamp == deviceStamp) {
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
