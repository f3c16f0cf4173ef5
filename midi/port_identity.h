#pragma once

#include <optional>
#include <string>
#include <vector>

namespace pxr9 {

// Which device an item of a port list stands for, across two lists taken at different
// times: device numbers shift when an earlier device goes, names do not. Two devices may
// show the same name, so the identity is the name and how many items before it show that
// name too.
struct PortIdentity {
    std::string name;
    int occurrence = 0;
    friend bool operator==(const PortIdentity&, const PortIdentity&) = default;
};

// The identity of item `index`; none for an index outside the list.
std::optional<PortIdentity> identityAt(const std::vector<std::string>& names, int index);

// The item of that identity, or -1 when the list holds none.
int findIdentity(const std::vector<std::string>& names, const PortIdentity& identity);

}  // namespace pxr9
