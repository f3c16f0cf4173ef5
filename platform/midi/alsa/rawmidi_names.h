#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace pxr9 {

// One rawmidi port of one direction as the kernel describes it.
struct RawMidiPortInfo {
    int card = 0;
    std::string deviceName;     // the rawmidi device's name; a USB device's product name
    std::string subdeviceName;  // the port's own name, e.g. "KEVO PXR-9 MIDI 1"; may be empty
};

// The names a user sees for the ports of one direction, given in card, device, substream
// order, one name per port:
// - A card with a single port in this direction shows its device's name, which for a USB
//   device is the product name: the kernel's "KEVO PXR-9 MIDI 1" shows as "KEVO PXR-9".
// - A card with several ports keeps each port's own name ("X MIDI 1", "X MIDI 2"), which
//   tells them apart; the device's name stands in for a port without one.
// - Identical devices get identical names from the kernel, so every repeat of a name gets
//   " (N)" after it, N counting the ports with that name in card order: the second
//   "KEVO PXR-9" becomes "KEVO PXR-9 (2)", the third "KEVO PXR-9 (3)". Card numbers stay
//   put while the devices stay plugged in, and so do these names. An empty name stays empty.
std::vector<std::string> rawMidiPortNames(const std::vector<RawMidiPortInfo>& ports);

// The ALSA name of a rawmidi device given as a name ("hw:1,0", kept as it is) or as its
// device file ("/dev/snd/midiC1D0" becomes "hw:1,0").
std::string rawMidiAddress(std::string_view device);

}  // namespace pxr9
