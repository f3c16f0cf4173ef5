#include "tools/cli/cli_session.h"

#include "engine/message_table.h"
#include "engine/workers.h"
#include "midi/port_selection.h"
#include "protocol/dispatcher.h"
#include "tools/cli/port_choice.h"

namespace pxr9::tools {

CliSession::CliSession(const UpdaterPlatform& platform, ConsoleSurface& surface, std::ostream& out,
                       std::ostream& err, ResourceLookup lookup)
    : inputs_(platform.midiIn),
      outputs_(platform.midiOut),
      surface_(surface),
      out_(out),
      err_(err),
      state_(platform, surface, std::move(lookup)) {}

CliSession::~CliSession() {
    if (worker_.joinable()) {
        abort();
        worker_.join();
    }
    closePorts();
}

int CliSession::run(const CliCommand& command) {
    switch (command.verb) {
        case CliVerb::Ports:
            return listPorts(command);
        case CliVerb::Update:
            return update(command);
        case CliVerb::Version:
            return versionCheck(command);
    }
    return kExitUsage;
}

void CliSession::abort() {
    std::lock_guard lock(startMutex_);
    aborted_.store(true);
    surface_.silence();
    state_.requestAbort();
}

int CliSession::listPorts(const CliCommand& command) {
    const auto patterns = portPatterns(command.instance, kPlatformNameEncoding);
    auto list = [&](const char* title, MidiDeviceList& devices) {
        const std::vector<std::string> names = listDeviceNames(devices);
        const int chosen = selectPort(names, patterns);
        out_ << title << (names.empty() ? ": none\n" : ":\n");
        for (std::size_t i = 0; i < names.size(); ++i) {
            out_ << (static_cast<int>(i) == chosen ? "  * " : "    ") << i << "  " << names[i]
                 << '\n';
        }
    };
    list("MIDI IN", inputs_);
    list("MIDI OUT", outputs_);
    out_ << std::flush;
    return kExitSuccess;
}

bool CliSession::openPorts(const CliCommand& command) {
    const PortChoice in = choosePort(command.in, listDeviceNames(inputs_), command.instance);
    const PortChoice out = choosePort(command.out, listDeviceNames(outputs_), command.instance);
    if (!in.error.empty() || !out.error.empty()) {
        err_ << "Error: " << (out.error.empty() ? "MIDI IN: " + in.error : "MIDI OUT: " + out.error)
             << '\n'
             << std::flush;
        return false;
    }
    // The dialog's order: the output first; an output left open by the input's failure is
    // closed at the end of the run. The poll timer runs until the ports are closed.
    state_.timer.start(onPollTimer, reinterpret_cast<std::uintptr_t>(&state_.link));
    state_.out.close();
    if (state_.out.open(out.device) != 0) {
        surface_.showError(loadMessage(kMsgCantOpenMidiOut));
        return false;
    }
    state_.in.close();
    if (state_.in.open(in.device) == 0) {
        surface_.showError(loadMessage(kMsgCantOpenMidiIn));
        return false;
    }
    return true;
}

void CliSession::closePorts() {
    state_.out.close();
    state_.in.close();
    // Nothing more can arrive: what is still queued is dispatched, then the timer rests.
    state_.timer.drainAndStop();
}

void CliSession::runWorker(int (*worker)(UpdaterState&)) {
    {
        std::lock_guard lock(startMutex_);
        if (aborted_.load()) return;
        state_.busy.store(1);
        state_.link.replyEvent.reset();
        worker_ = std::thread([this, worker] { worker(state_); });
    }
    worker_.join();  // joinable: started above, and joined only here
}

bool CliSession::stampsMatch() const {
    return state_.deviceSystemVersion == state_.carriedSystemVersion &&
           state_.devicePresetVersion == state_.carriedPresetVersion &&
           state_.deviceBootVersion == state_.carriedBootVersion;
}

int CliSession::update(const CliCommand& command) {
    if (aborted_.load() || !openPorts(command)) {
        closePorts();
        return kExitFailure;
    }
    runWorker(updateWorker);
    surface_.endLine();
    const bool updated = !aborted_.load() && !surface_.errorShown() &&
                         surface_.status() == loadMessage(kMsgUpdateCompleted);
    if (!updated || !command.verify) {
        closePorts();
        return updated ? kExitSuccess : kExitFailure;
    }

    // As "Rescan Device" then "Version Check" would: the ports are opened afresh.
    if (!checkVersions(command)) return kExitFailure;
    return stampsMatch() ? kExitSuccess : kExitStampsDiffer;
}

int CliSession::versionCheck(const CliCommand& command) {
    return checkVersions(command) ? kExitSuccess : kExitFailure;
}

bool CliSession::checkVersions(const CliCommand& command) {
    if (aborted_.load() || !openPorts(command)) {
        closePorts();
        return false;
    }
    surface_.clearVersionCheckResult();
    runWorker(versionCheckWorker);
    closePorts();
    if (aborted_.load() || surface_.versionCheckResult() != 0) return false;
    pxr9::showVersionReport(state_);
    return true;
}

}  // namespace pxr9::tools
