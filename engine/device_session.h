#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

#include "engine/procedure_outcome.h"
#include "engine/updater_state.h"
#include "engine/worker_runner.h"

namespace pxr9 {

// A port that did not open, and the text of the box that said so.
struct PortOpenFailure {
    enum class Port { Output, Input };
    Port port;
    std::string shown;
};

// What every command of the dialog and of the console does around a procedure: the
// dispatcher runs from the opening of the ports until they are closed, and a worker runs one
// procedure at a time over them and hands its outcome back. Used from the front end's
// thread; abort() from any.
class DeviceSession {
  public:
    DeviceSession(UpdaterState& state, WorkerRunner& runner);
    DeviceSession(const DeviceSession&) = delete;
    DeviceSession& operator=(const DeviceSession&) = delete;

    // Starts the dispatcher, then opens the output and then the input on the given devices,
    // each closed first. A port that does not open shows its error box and ends it there: an
    // output opened before the input failed stays open, and the dispatcher keeps running only
    // while an input is open.
    std::optional<PortOpenFailure> openPorts(std::int32_t outDevice, std::int32_t inDevice);

    using Procedure = std::function<ProcedureOutcome(UpdaterState&)>;
    using FinishHandler = std::function<void(const ProcedureOutcome&)>;

    // Resets the reply event and runs `procedure` on the worker; the worker's last act is to
    // hand its outcome to `onFinished`, on the worker's thread (a front end whose controls
    // live on a thread of their own carries it there). Refused, with nothing run, once
    // abort() has been called.
    bool begin(Procedure procedure, FinishHandler onFinished);
    // Begins `procedure` and waits for it to end: its outcome, or Aborted when refused.
    ProcedureOutcome run(Procedure procedure);

    // From any thread: no worker begins any more, every wait of a running one ends at once
    // without a word, and a send stuck on a device that stopped taking bytes is cut short.
    void abort();

    // Closes both ports; what is still queued is dispatched, then the dispatcher rests.
    void closePorts();
    // Stops the dispatcher unless the input is open, for when a worker has closed the ports.
    void stopDispatchWithoutInput();

  private:
    PortOpenFailure failedToOpen(PortOpenFailure::Port port, std::uint32_t messageId);

    UpdaterState& state_;
    WorkerRunner& runner_;
    // Orders the start of a worker against an abort.
    std::mutex startMutex_;
};

}  // namespace pxr9
