#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tools/cli/cli_options.h"

namespace pxr9::tools {

enum class PortProblem {
    None,
    NoSuchName,  // a name was given that no device has
    OutOfRange,  // a number was given beyond the last device: a usage error
    NoMatch,     // chosen as the dialog would, and no device carries one of the copy's names
};

struct PortChoice {
    std::int32_t device = -1;  // -1: none, which the port then fails to open, as in the dialog
    PortProblem problem = PortProblem::None;
};

// The device number for a port argument: a number as given, the first device with a given
// name, or, without an argument, the device the dialog of copy `instance` pre-selects.
PortChoice choosePort(const std::optional<PortArg>& arg, const std::vector<std::string>& names,
                      int instance);

}  // namespace pxr9::tools
