#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace pxr9::tools {

// One direction's ports as `ports` prints them: a title line, then each port's number and
// name, the one that would be chosen marked with "*".
void printPortList(std::ostream& out, const char* title, const std::vector<std::string>& names,
                   int chosen);

// A port that came or went between two lists of one direction.
struct PortEvent {
    bool came;
    int device;  // its number in the list it is in: the later one when it came
    std::string name;
    friend bool operator==(const PortEvent&, const PortEvent&) = default;
};

// What went, in the order of `before`, then what came, in the order of `after`. A port is
// the same in both when its name and the count of ports named alike before it are.
std::vector<PortEvent> portEvents(const std::vector<std::string>& before,
                                  const std::vector<std::string>& after);

// One line per event, for scripts: "+ MIDI IN 1  KEVO PXR-9 (2)", "- MIDI OUT 0  Synth".
void printPortEvents(std::ostream& out, const char* title, const std::vector<PortEvent>& events);

}  // namespace pxr9::tools
