#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "midi/port_identity.h"
#include "midi/port_selection.h"

namespace pxr9 {

// What one port list shows once the ports have changed.
struct FollowedList {
    // The devices in device order: item k opens device k.
    std::vector<std::string> names;
    // The item to select, -1 for none; names.size() when it is the gone device below.
    int selected = -1;
    // The selected device, no longer there. Listed after the devices, so every device keeps
    // its number and the item opens nothing: no other device is updated in its place.
    std::optional<PortIdentity> gone;
};

// The list for `names`, the devices now there, when `selected` was selected before (a device
// shown as gone included; none when nothing was). A selected device stays selected while it
// is there, wherever it moved to; gone, it stays selected as gone until it comes back or
// another item is chosen. With nothing selected, the copy's own device is selected by the
// rule of the first scan.
FollowedList followPorts(std::vector<std::string> names,
                         const std::optional<PortIdentity>& selected,
                         const std::array<std::string, kPortNameCount>& patterns);

}  // namespace pxr9
