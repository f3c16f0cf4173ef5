// pxr9-sim: the simulated PXR-9 on JACK MIDI ports or a rawmidi device, until SIGINT or
// SIGTERM (or until the rawmidi device goes away).
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "firmware/resources.h"
#include "tools/sim/jack_sim_ports.h"
#include "tools/sim/rawmidi_sim_ports.h"
#include "tools/sim/sim_options.h"
#include "tools/sim/sim_report.h"

namespace {

// Written beside the target and renamed over it, so a reader never sees half a report.
bool writeReport(const std::string& path, const std::string& text) {
    const std::string temporary = path + ".part";
    {
        std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
        if (!(file << text) || !file.flush()) return false;
    }
    return std::rename(temporary.c_str(), path.c_str()) == 0;
}

// Written when the run ends, whichever way it ends.
int finish(const pxr9::tools::SimToolOptions& options, const pxr9::sim::SimDevice& device) {
    if (!options.reportPath.empty() &&
        !writeReport(options.reportPath,
                     pxr9::tools::buildSimReport(device, options.portName(), pxr9::findResource))) {
        std::cerr << "pxr9-sim: cannot write the report " << options.reportPath << "\n";
        return 1;
    }
    return 0;
}

int serveRawMidi(const pxr9::tools::SimToolOptions& options, const sigset_t& stopSignals) {
    pxr9::tools::RawMidiSimPorts ports(options, [] { kill(getpid(), SIGUSR1); });
    std::string error;
    if (!ports.open(error)) {
        std::cerr << "pxr9-sim: " << error << "\n";
        return 1;
    }
    std::cout << "ready: " << options.rawmidi << std::endl;
    int received = 0;
    sigwait(&stopSignals, &received);
    ports.stop();
    if (received == SIGUSR1) std::cerr << "pxr9-sim: the rawmidi device went away\n";
    return finish(options, ports.device());
}

}  // namespace

int main(int argc, char** argv) {
    using namespace pxr9::tools;
    const pxr9::tools::SimArgs args = parseSimArgs(std::vector<std::string>(argv + 1, argv + argc));
    if (args.help) {
        std::cout << kSimUsage;
        return 0;
    }
    if (!args.options) {
        std::cerr << "pxr9-sim: " << args.error << "\n" << kSimUsage;
        return 2;
    }
    const SimToolOptions& options = *args.options;

    // Blocked before JACK starts its threads, so only sigwait below ever takes them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGUSR1);  // the rawmidi device went away
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    if (!options.rawmidi.empty()) return serveRawMidi(options, stopSignals);

    std::unique_ptr<JackSimPorts> ports;
    try {
        ports = std::make_unique<JackSimPorts>(options);
    } catch (const std::invalid_argument& e) {
        std::cerr << "pxr9-sim: " << e.what() << "\n";
        return 2;
    }
    std::string error;
    if (!ports->open(error)) {
        std::cerr << "pxr9-sim: " << error << "\n";
        return 1;
    }
    std::cout << "ready: " << options.portName() << std::endl;

    int received = 0;
    sigwait(&stopSignals, &received);
    ports->stop();

    return finish(options, ports->device());
}
