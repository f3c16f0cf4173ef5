#include "tools/cli/port_choice.h"

#include <algorithm>

#include "midi/port_selection.h"

namespace pxr9::tools {

PortChoice choosePort(const std::optional<PortArg>& arg, const std::vector<std::string>& names,
                      int instance) {
    if (!arg) {
        return {selectPort(names, portPatterns(instance, kPlatformNameEncoding)), {}};
    }
    if (arg->number) return {*arg->number, {}};
    const auto found = std::find(names.begin(), names.end(), arg->name);
    if (found == names.end()) return {-1, "no device named \"" + arg->name + "\""};
    return {static_cast<std::int32_t>(found - names.begin()), {}};
}

}  // namespace pxr9::tools
