#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pxr9 {

// A rawmidi port's place: card, device and substream of "hw:C,D,S".
struct RawMidiPlace {
    int card = 0;
    int device = 0;
    int substream = 0;
};
std::optional<RawMidiPlace> parseRawMidiPlace(std::string_view address);

// What the kernel shows of one substream in /proc/asound/cardC/midiD.
struct RawMidiSubstreamState {
    bool open = false;
    int ownerPid = -1;
    long bufferSize = -1;
    long avail = -1;  // output: free room; input: bytes waiting
};
// The state of substream `substream` of the output (or input) in that text; nullopt when the
// text does not list it.
std::optional<RawMidiSubstreamState> parseRawMidiProc(std::string_view text, bool output,
                                                      int substream);

// A program connected to the device's sequencer port, which makes the kernel hold the
// rawmidi port open for it.
struct SeqListener {
    int client = -1;
    int port = -1;
    std::string name;
    int pid = -1;  // -1 when unknown
};

// Everything known about who holds a port that could not be opened.
struct PortHolders {
    std::string portName;  // as listed, e.g. "KEVO PXR-9"
    bool output = false;
    int seqClient = -1;  // the device's own sequencer port, -1 when there is none
    int seqPort = -1;
    std::vector<SeqListener> listeners;
    int ownerPid = -1;  // the process that opened the rawmidi port
    std::string ownerName;
};

// One line for a person: what holds the port and how to free it.
std::string busyCause(const PortHolders& holders);
// One line for any other failed open of a rawmidi port.
std::string openFailureCause(std::string_view portName, bool output, std::string_view address,
                             int error);

}  // namespace pxr9
