#include "tools/cli/port_listing.h"

#include "midi/port_identity.h"

namespace pxr9::tools {

void printPortList(std::ostream& out, const char* title, const std::vector<std::string>& names,
                   int chosen) {
    out << title << (names.empty() ? ": none\n" : ":\n");
    for (std::size_t i = 0; i < names.size(); ++i) {
        out << (static_cast<int>(i) == chosen ? "  * " : "    ") << i << "  " << names[i] << '\n';
    }
}

std::vector<PortEvent> portEvents(const std::vector<std::string>& before,
                                  const std::vector<std::string>& after) {
    std::vector<PortEvent> events;
    auto missing = [&events](const std::vector<std::string>& from,
                             const std::vector<std::string>& in, bool came) {
        for (int k = 0; k < static_cast<int>(from.size()); ++k) {
            if (findIdentity(in, *identityAt(from, k)) < 0) {
                events.push_back({came, k, from[static_cast<std::size_t>(k)]});
            }
        }
    };
    missing(before, after, false);
    missing(after, before, true);
    return events;
}

void printPortEvents(std::ostream& out, const char* title, const std::vector<PortEvent>& events) {
    for (const PortEvent& event : events) {
        out << (event.came ? "+ " : "- ") << title << ' ' << event.device << "  " << event.name
            << '\n';
    }
}

}  // namespace pxr9::tools
