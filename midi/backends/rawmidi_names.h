#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace pxr9 {

// The name a user sees for a rawmidi port: its substream's name, or the device's name when
// the substream has none.
std::string rawMidiPortName(std::string_view subdeviceName, std::string_view deviceName);

// The ALSA name of a rawmidi device given as a name ("hw:1,0", kept as it is) or as its
// device file ("/dev/snd/midiC1D0" becomes "hw:1,0").
std::string rawMidiAddress(std::string_view device);

}  // namespace pxr9
