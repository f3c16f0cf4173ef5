#include "midi/port_follow.h"

namespace pxr9 {

FollowedList followPorts(std::vector<std::string> names,
                         const std::optional<PortIdentity>& selected,
                         const std::array<std::string, kPortNameCount>& patterns) {
    FollowedList list;
    if (!selected) {
        list.selected = selectPort(names, patterns);
    } else if (const int found = findIdentity(names, *selected); found >= 0) {
        list.selected = found;
    } else {
        list.selected = static_cast<int>(names.size());
        list.gone = selected;
    }
    list.names = std::move(names);
    return list;
}

}  // namespace pxr9
