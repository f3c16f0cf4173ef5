#include "midi/port_identity.h"

#include <algorithm>

namespace pxr9 {

std::optional<PortIdentity> identityAt(const std::vector<std::string>& names, int index) {
    if (index < 0 || static_cast<std::size_t>(index) >= names.size()) return std::nullopt;
    const std::string& name = names[static_cast<std::size_t>(index)];
    const auto earlier = std::count(names.begin(), names.begin() + index, name);
    return PortIdentity{name, static_cast<int>(earlier)};
}

int findIdentity(const std::vector<std::string>& names, const PortIdentity& identity) {
    int seen = 0;
    for (std::size_t k = 0; k < names.size(); ++k) {
        if (names[k] != identity.name) continue;
        if (seen++ == identity.occurrence) return static_cast<int>(k);
    }
    return -1;
}

}  // namespace pxr9
