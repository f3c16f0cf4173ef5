#include "engine/device_session.h"

#include "engine/message_table.h"
#include "protocol/dispatcher.h"

namespace pxr9 {

DeviceSession::DeviceSession(UpdaterState& state, WorkerRunner& runner)
    : state_(state), runner_(runner) {}

std::optional<PortOpenFailure> DeviceSession::openPorts(std::int32_t outDevice,
                                                        std::int32_t inDevice) {
    state_.channel.dispatcher.start([this] { dispatchReplies(state_.link); });
    state_.channel.out.close();
    if (!state_.channel.out.open(outDevice)) {
        return failedToOpen(PortOpenFailure::Port::Output, kMsgCantOpenMidiOut);
    }
    state_.channel.in.close();
    // Each run starts on a quiet line: what an earlier run left unread (late answers after
    // its timeout) can no longer end a wait, and its results and a device that went away are
    // forgotten. An answer still on its way is the identity check's to drop.
    state_.link.clearReplies();
    if (!state_.channel.in.open(inDevice)) {
        return failedToOpen(PortOpenFailure::Port::Input, kMsgCantOpenMidiIn);
    }
    return std::nullopt;
}

PortOpenFailure DeviceSession::failedToOpen(PortOpenFailure::Port port, std::uint32_t messageId) {
    stopDispatchWithoutInput();
    PortOpenFailure failure{port, loadMessage(messageId)};
    state_.surface.showError(failure.shown);
    return failure;
}

bool DeviceSession::begin(Procedure procedure, FinishHandler onFinished) {
    std::lock_guard lock(startMutex_);
    if (state_.abortRequested.load()) return false;
    // A signal left over from an earlier run must not end this run's first wait.
    state_.link.replyEvent.reset();
    runner_.start([this, procedure = std::move(procedure), onFinished = std::move(onFinished)] {
        onFinished(procedure(state_));
    });
    return true;
}

ProcedureOutcome DeviceSession::run(Procedure procedure) {
    ProcedureOutcome outcome = ProcedureOutcome::aborted();
    // The worker's outcome is read only after the join, which orders it.
    if (begin(std::move(procedure),
              [&outcome](const ProcedureOutcome& finished) { outcome = finished; })) {
        runner_.join();
    }
    return outcome;
}

void DeviceSession::abort() {
    std::lock_guard lock(startMutex_);
    state_.requestAbort();
    state_.channel.out.close();
}

void DeviceSession::closePorts() {
    state_.channel.out.close();
    state_.channel.in.close();
    // Nothing more can arrive: what is still queued is dispatched, then the dispatcher rests.
    state_.channel.dispatcher.drainAndStop();
}

void DeviceSession::stopDispatchWithoutInput() {
    if (!state_.channel.in.isOpen()) state_.channel.dispatcher.drainAndStop();
}

}  // namespace pxr9
