// pxr9-cli: the updater's commands on a console.
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "platform/instance_name.h"
#include "platform/system_platform.h"
#include "tools/cli/cli_options.h"
#include "tools/cli/cli_session.h"
#include "tools/cli/console_surface.h"
#include "tools/cli/copy_number.h"
#include "tools/cli/run_result.h"

namespace {

// Takes SIGINT and SIGTERM for the whole process (they are blocked in every thread) and
// turns them into an abort; SIGUSR1 from main ends it once the run is over.
class SignalWatcher {
  public:
    explicit SignalWatcher(const sigset_t& signals) : signals_(signals) {}
    ~SignalWatcher() { stop(); }

    void start(pxr9::tools::CliSession& session) {
        thread_ = std::thread([this, &session] {
            while (true) {
                int received = 0;
                if (sigwait(&signals_, &received) != 0) continue;
                if (received == SIGUSR1) return;
                // The abort cuts a stuck send short; should anything else still hold it,
                // a second signal ends the process, which still closes every port it holds.
                if (session.aborted()) std::_Exit(pxr9::tools::kExitFailure);
                session.abort();
            }
        });
    }

    void stop() {
        if (!thread_.joinable()) return;
        pthread_kill(thread_.native_handle(), SIGUSR1);
        thread_.join();
    }

  private:
    sigset_t signals_;
    std::thread thread_;
};

}  // namespace

int main(int argc, char** argv) {
    using namespace pxr9::tools;
    const CliArgs args = parseCliArgs(std::vector<std::string>(argv + 1, argv + argc));
    if (args.help) {
        std::cout << kCliUsage;
        return kExitSuccess;
    }
    if (!args.command) {
        std::cerr << "pxr9-cli: " << args.error << "\n" << kCliUsage;
        return kExitUsage;
    }
    CliCommand command = *args.command;
    // Taken before any MIDI port or thread exists, and held until the process ends.
    const CopyNumberClaim copy = claimCopyNumber(command);
    if (copy.refused) {
        // The dialog shows this under the program's name, not under "Error".
        std::cerr << "pxr9-cli: " << pxr9::copyLimitText() << "\n";
        if (command.json) {
            RunResult refused;
            refused.message = pxr9::copyLimitText();
            std::cout << resultJson(command, refused, kExitFailure, false) << std::endl;
        }
        return kExitFailure;
    }

    // Blocked before any thread starts (JACK's included), so only the watcher takes them.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGUSR1);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    // With --json the output carries the result alone; what a person reads goes to errors.
    std::ostream& shown = command.json ? std::cerr : std::cout;
    const int shownFd = command.json ? STDERR_FILENO : STDOUT_FILENO;
    ConsoleSurface surface(shown, std::cerr, isatty(shownFd) == 1);
    pxr9::SystemPlatform system;
    // Who holds a port that cannot be opened and how to free it, or how it was reached anyway.
    system.portNotes().setListener([&surface](const std::string& text) {
        surface.endLine();
        std::cerr << "pxr9-cli: " << text << '\n' << std::flush;
    });
    int code = kExitFailure;
    {
        CliSession session(system.platform(), surface, shown, std::cerr);
        SignalWatcher watcher(signals);
        watcher.start(session);
        code = session.run(command);
        watcher.stop();
        // A signal is how `ports --watch` ends, and so its success.
        if (session.aborted() && !command.watch) code = kExitFailure;
        if (command.json) {
            std::cout << resultJson(command, session.result(), code, session.aborted())
                      << std::endl;
        }
    }
    return code;
}
