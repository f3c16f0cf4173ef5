#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/cli/cli_options.h"
#include "tools/cli/port_choice.h"

namespace pxr9::tools {

// What the console says, beyond the dialog's own texts, when a port could not be chosen:
// which name it looked for and which ports are there. `list` is "MIDI IN" or "MIDI OUT",
// `option` the matching "--in" or "--out". Empty when the choice has no problem.
std::string describePortProblem(const PortChoice& choice, const std::optional<PortArg>& arg,
                                const char* list, const char* option,
                                const std::vector<std::string>& names, int instance);

// The ports of one list as `ports` shows them, one per line, or "none".
std::string portListText(const char* list, const std::vector<std::string>& names);

}  // namespace pxr9::tools
