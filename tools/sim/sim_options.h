#pragma once

#include <optional>
#include <string>
#include <vector>

#include "sim/fault_script.h"
#include "sim/sim_config.h"

namespace pxr9::tools {

inline constexpr const char* kDefaultSimPortName = "KEVO PXR-9";
inline constexpr int kHighestInstance = 20;

struct SimToolOptions {
    sim::SimConfig config;
    sim::FaultScript faults;  // rules of every --fault, in the order given
    std::string name = kDefaultSimPortName;
    int instance = 1;
    std::string reportPath;  // empty: no report
    std::string rawmidi;     // a rawmidi device to serve instead of JACK ports; empty: JACK

    // The name of both ports: the name, then " (N)" for copy N of 2 or more.
    std::string portName() const;
};

struct SimArgs {
    std::optional<SimToolOptions> options;  // empty on an error or for --help
    bool help = false;
    std::string error;
};

// The command line after the program name. Options apply in the order given, so a timing
// option after --instant changes that one figure again.
SimArgs parseSimArgs(const std::vector<std::string>& args);

extern const char* const kSimUsage;

}  // namespace pxr9::tools
