#pragma once

#include <string>
#include <string_view>

namespace pxr9 {

// The name a user sees for a rawmidi port: its substream's name, or the device's name when
// the substream has none.
std::string rawMidiPortName(std::string_view subdeviceName, std::string_view deviceName);

}  // namespace pxr9
