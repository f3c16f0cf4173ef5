#pragma once

#include <atomic>
#include <mutex>
#include <ostream>
#include <thread>

#include "engine/updater_state.h"
#include "tools/cli/cli_options.h"
#include "tools/cli/console_surface.h"

namespace pxr9::tools {

// One run of the console updater: the dialog's commands over the same engine workers, on a
// worker thread, with the poll timer running the dispatcher.
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
    void abort();
    bool aborted() const { return aborted_.load(); }

    UpdaterState& state() { return state_; }

  private:
    int listPorts(const CliCommand& command);
    int update(const CliCommand& command);
    int versionCheck(const CliCommand& command);
    // Opens the ports, runs the version check, closes them and shows the report; false on
    // any failure or an abort.
    bool checkVersions(const CliCommand& command);
    // Chooses and opens both ports as the dialog's commands do; false after saying why.
    bool openPorts(const CliCommand& command);
    void closePorts();
    // Starts the worker unless aborted, and waits for it to end.
    void runWorker(int (*worker)(UpdaterState&));
    bool stampsMatch() const;

    MidiInService& inputs_;
    MidiOutService& outputs_;
    ConsoleSurface& surface_;
    std::ostream& out_;
    std::ostream& err_;
    UpdaterState state_;
    std::mutex startMutex_;  // orders the start of a worker against an abort
    std::atomic<bool> aborted_{false};
    std::thread worker_;
};

}  // namespace pxr9::tools
