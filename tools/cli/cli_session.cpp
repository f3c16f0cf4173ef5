#include "tools/cli/cli_session.h"

#include "engine/update_procedure.h"
#include "engine/version_check.h"
#include "engine/version_report.h"
#include "midi/port_selection.h"
#include "tools/cli/port_choice.h"
#include "tools/cli/port_diagnosis.h"
#include "tools/cli/port_listing.h"

namespace pxr9::tools {

CliSession::CliSession(const UpdaterPlatform& platform, ConsoleSurface& surface, std::ostream& out,
                       std::ostream& err, ResourceLookup lookup)
    : inputs_(platform.inputs),
      outputs_(platform.outputs),
      portWatch_(platform.portWatch),
      surface_(surface),
      out_(out),
      err_(err),
      state_(platform, surface, std::move(lookup)) {}

CliSession::~CliSession() {
    if (worker_.joinable()) {
        abort();
        worker_.join();
    }
    session_.closePorts();
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
    aborted_.store(true);
    surface_.silence();
    // A send stuck on a device that stopped taking bytes would hold the worker, and so the
    // end of the run, for good: the session's abort cuts it short.
    session_.abort();
    watchRun_.stop();
}

int CliSession::listPorts(const CliCommand& command) {
    if (command.watch) {
        if (portWatch_ && watchRun_.run(*portWatch_, command.instance)) return kExitSuccess;
        err_ << "pxr9-cli: the MIDI ports cannot be watched here\n" << std::flush;
        return kExitFailure;
    }
    const auto patterns = portPatterns(command.instance, kPlatformNameEncoding);
    auto list = [&](const char* title, PortList& devices) {
        const std::vector<std::string> names = listDeviceNames(devices);
        printPortList(out_, title, names, selectPort(names, patterns));
    };
    list("MIDI IN", inputs_);
    list("MIDI OUT", outputs_);
    out_ << std::flush;
    return kExitSuccess;
}

int CliSession::openPorts(const CliCommand& command) {
    const std::vector<std::string> inNames = listDeviceNames(inputs_);
    const std::vector<std::string> outNames = listDeviceNames(outputs_);
    const PortChoice in = choosePort(command.in, inNames, command.instance);
    const PortChoice out = choosePort(command.out, outNames, command.instance);
    auto used = [](const PortChoice& choice, const std::vector<std::string>& names) {
        return choice.device < 0
                   ? std::nullopt
                   : std::optional<PortUsed>(
                         PortUsed{choice.device, names[static_cast<std::size_t>(choice.device)]});
    };
    result_.in = used(in, inNames);
    result_.out = used(out, outNames);
    const std::string inProblem =
        describePortProblem(in, command.in, "MIDI IN", "--in", inNames, command.instance);
    const std::string outProblem =
        describePortProblem(out, command.out, "MIDI OUT", "--out", outNames, command.instance);

    // A number or name given on the command line that is not there ends the run before any
    // port is touched; a number beyond the last device is a usage error.
    auto refused = [](const PortChoice& choice) {
        return choice.problem == PortProblem::OutOfRange ||
               choice.problem == PortProblem::NoSuchName;
    };
    if (refused(out) || refused(in)) {
        const PortChoice& choice = refused(out) ? out : in;
        const std::string& problem = refused(out) ? outProblem : inProblem;
        err_ << "Error: " << problem << std::flush;
        portError_ = problem.substr(0, problem.find('\n'));
        return choice.problem == PortProblem::OutOfRange ? kExitUsage : kExitFailure;
    }
    // The dialog's order: the output first; an output left open by the input's failure is
    // closed at the end of the run. Without a port of its copy's names, the dialog's error
    // is followed by the names looked for and the ports that are there.
    const auto failure = session_.openPorts(out.device, in.device);
    if (!failure) return kExitSuccess;
    lastFailure_ = ProcedureOutcome::failed(FailureKind::Port, failure->shown);
    if (!aborted_.load()) {
        err_ << (failure->port == PortOpenFailure::Port::Output ? outProblem : inProblem)
             << std::flush;
    }
    return kExitFailure;
}

ProcedureOutcome CliSession::runProcedure(const DeviceSession::Procedure& procedure) {
    ProcedureOutcome outcome = session_.run(procedure);
    if (outcome.kind == ProcedureOutcome::Kind::Failed) lastFailure_ = outcome;
    return outcome;
}

bool CliSession::stampsMatch() const {
    return state_.versions.device == state_.versions.carried;
}

void CliSession::finish(const std::string& shown, int exitCode) {
    result_.cause.clear();
    result_.failure = FailureKind::None;
    if (aborted_.load()) {
        result_.message.clear();
        return;
    }
    const bool failed = exitCode == kExitFailure || exitCode == kExitUsage;
    if (!portError_.empty()) {
        result_.message = portError_;
        result_.failure = FailureKind::Port;
        return;
    }
    const bool boxShown = !lastFailure_.message.empty();
    result_.message = boxShown ? lastFailure_.message : shown;
    if (boxShown) result_.cause = lastFailure_.cause;
    if (failed) result_.failure = lastFailure_.failure;
}

int CliSession::update(const CliCommand& command) {
    // For a machine-readable result the stamps are read before the update as well, as
    // "Version Check" then "Execute" would; a device that cannot be read is not updated.
    if (command.json) {
        if (const int code = checkVersions(command, result_.before); code != kExitSuccess) {
            finish({}, code);
            return code;
        }
    }
    if (aborted_.load()) return kExitFailure;
    if (const int code = openPorts(command); code != kExitSuccess) {
        session_.closePorts();
        finish({}, code);
        return code;
    }
    const ProcedureOutcome outcome = runProcedure(runUpdate);
    surface_.endLine();
    const bool updated = !aborted_.load() && outcome.isCompleted();
    const int updateCode = updated ? kExitSuccess : kExitFailure;
    finish(surface_.status(), updateCode);
    if (!updated || !(command.verify || command.json)) {
        session_.closePorts();
        return updateCode;
    }

    // As "Rescan Device" then "Version Check" would: the ports are opened afresh. Only
    // --verify makes the update's result depend on this check; --json merely reports it.
    const std::string completed = result_.message;
    const int checked = checkVersions(command, result_.after);
    int code = kExitSuccess;
    if (command.verify) {
        code = checked != kExitSuccess ? checked : stampsMatch() ? kExitSuccess : kExitStampsDiffer;
    }
    finish(completed, code);
    return code;
}

int CliSession::versionCheck(const CliCommand& command) {
    const int code = checkVersions(command, result_.before);
    finish(code == kExitSuccess ? buildVersionReport(state_) : std::string(), code);
    return code;
}

int CliSession::checkVersions(const CliCommand& command, std::optional<StampSet>& read) {
    if (aborted_.load()) return kExitFailure;
    if (const int code = openPorts(command); code != kExitSuccess) {
        session_.closePorts();
        return code;
    }
    const ProcedureOutcome outcome = runProcedure(runVersionCheck);
    // The check closed both ports; this rests the dispatcher.
    session_.closePorts();
    if (aborted_.load() || !outcome.isCompleted()) return kExitFailure;
    read = state_.versions.device;
    result_.carried = state_.versions.carried;
    pxr9::showVersionReport(state_);
    return kExitSuccess;
}

}  // namespace pxr9::tools
