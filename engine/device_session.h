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
// procedure at a time over them. Used from the front end's thread; abort() from any.
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

    // Sets busy, resets the reply event and starts `work` on the worker. Refused, with
    // nothing changed, once abort() has been called.
    bool begin(std::function<void()> work);
    // Begins `procedure` and waits for it to end: its outcome, or Aborted when refused.
    ProcedureOutcome run(ProcedureOutcome (*procedure)(UpdaterState&));

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
