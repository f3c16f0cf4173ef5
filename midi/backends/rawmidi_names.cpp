#include "midi/backends/rawmidi_names.h"

namespace pxr9 {

std::string rawMidiPortName(std::string_view subdeviceName, std::string_view deviceName) {
    return std::string(subdeviceName.empty() ? deviceName : subdeviceName);
}

}  // namespace pxr9
