#pragma once

#include <atomic>
#include <ostream>

#include "engine/device_session.h"
#include "engine/procedure_outcome.h"
#include "engine/updater_state.h"
#include "engine/worker_runner.h"
#include "tools/cli/cli_options.h"
#include "tools/cli/console_surface.h"
#include "tools/cli/port_watch_run.h"
#include "tools/cli/run_result.h"

namespace pxr9::tools {

// One run of the console updater: the dialog's commands over the same engine procedures, on a
// worker thread, with the poll timer running the dispatcher. Each procedure's outcome, not
// the surface, tells how it ended.
class CliSession {
  public:
    CliSession(const UpdaterPlatform& platform, ConsoleSurface& surface, std::ostream& out,
               std::ostream& err, ResourceLookup lookup = pxr9::findResource);
    ~CliSession();
    CliSession(const CliSession&) = delete;
    CliSession& operator=(const CliSession&) = delete;

    // Runs the command to its end and returns the exit code.
    int run(const CliCommand& command);

    // What closing the dialog does, from any thread: the worker ends at its next wait without
    // a word, and run() returns kExitFailure once it has joined the worker and closed the ports.
    // `ports --watch` ends this way, with kExitSuccess.
    void abort();
    bool aborted() const { return aborted_.load(); }

    UpdaterState& state() { return state_; }
    // What the run did, for --json; complete once run() has returned.
    const RunResult& result() const { return result_; }

  private:
    int listPorts(const CliCommand& command);
    int update(const CliCommand& command);
    int versionCheck(const CliCommand& command);
    // Opens the ports, runs the version check, closes them and shows the report; the exit
    // code of a failure or an abort, else kExitSuccess with the stamps read in `read`.
    int checkVersions(const CliCommand& command, std::optional<StampSet>& read);
    // Chooses and opens both ports as the dialog's commands do; the exit code after saying
    // why it could not, else kExitSuccess.
    int openPorts(const CliCommand& command);
    // Records what the run ends with: a port error of the command line, else the text of the
    // last failure, else `shown`; and, when `exitCode` is a failure, the kind of that failure.
    void finish(const std::string& shown, int exitCode);
    // Runs `procedure` on the worker unless aborted, and returns its outcome once it has ended.
    ProcedureOutcome runProcedure(const DeviceSession::Procedure& procedure);
    bool stampsMatch() const;

    PortList& inputs_;
    PortList& outputs_;
    PortWatch* const portWatch_;
    ConsoleSurface& surface_;
    std::ostream& out_;
    std::ostream& err_;
    UpdaterState state_;
    ThreadWorkerRunner worker_;
    DeviceSession session_{state_, worker_};
    std::atomic<bool> aborted_{false};
    PortWatchRun watchRun_{inputs_, outputs_, out_};
    RunResult result_;
    std::string portError_;  // a port given on the command line that is not there
    // The last failure of the run, as its outcome told it (its text is empty when it showed
    // none); Completed while nothing has failed.
    ProcedureOutcome lastFailure_ = ProcedureOutcome::completed();
};

}  // namespace pxr9::tools
