#include "tools/cli/port_choice.h"

#include <algorithm>

#include "midi/port_selection.h"

namespace pxr9::tools {

PortChoice choosePort(const std::optional<PortArg>& arg, const std::vector<std::string>& names,
                      int instance) {
    if (!arg) {
        const int device = selectPort(names, portPatterns(instance, kPlatformNameEncoding));
        return {device, device < 0 ? PortProblem::NoMatch : PortProblem::None};
    }
    if (arg->number) {
        if (static_cast<std::size_t>(*arg->number) >= names.size())
            return {-1, PortProblem::OutOfRange};
        return {*arg->number, PortProblem::None};
    }
    const auto found = std::find(names.begin(), names.end(), arg->name);
    if (found == names.end()) return {-1, PortProblem::NoSuchName};
    return {static_cast<std::int32_t>(found - names.begin()), PortProblem::None};
}

}  // namespace pxr9::tools
