#include "platform/midi/alsa/rawmidi_names.h"

#include <cctype>
#include <map>

namespace pxr9 {

std::vector<std::string> rawMidiPortNames(const std::vector<RawMidiPortInfo>& ports) {
    std::map<int, int> portsOfCard;
    for (const RawMidiPortInfo& port : ports) ++portsOfCard[port.card];

    std::vector<std::string> names;
    names.reserve(ports.size());
    std::map<std::string, int> seen;
    for (const RawMidiPortInfo& port : ports) {
        const bool alone = portsOfCard[port.card] == 1;
        std::string name = (alone && !port.deviceName.empty()) || port.subdeviceName.empty()
                               ? port.deviceName
                               : port.subdeviceName;
        const int repeat = name.empty() ? 1 : ++seen[name];
        if (repeat >= 2) name += " (" + std::to_string(repeat) + ")";
        names.push_back(std::move(name));
    }
    return names;
}

namespace {

// Reads a decimal number at the front of `text`; false when there is none.
bool takeNumber(std::string_view& text, std::string& digits) {
    digits.clear();
    while (!text.empty() && std::isdigit(static_cast<unsigned char>(text.front()))) {
        digits += text.front();
        text.remove_prefix(1);
    }
    return !digits.empty() && digits.size() <= 4;
}

}  // namespace

std::string rawMidiAddress(std::string_view device) {
    std::string_view file = device;
    const std::size_t slash = file.rfind('/');
    if (slash == std::string_view::npos) return std::string(device);
    file.remove_prefix(slash + 1);
    std::string card;
    std::string number;
    if (file.substr(0, 5) != "midiC") return std::string(device);
    file.remove_prefix(5);
    if (!takeNumber(file, card) || file.empty() || file.front() != 'D') return std::string(device);
    file.remove_prefix(1);
    if (!takeNumber(file, number) || !file.empty()) return std::string(device);
    return "hw:" + card + "," + number;
}

}  // namespace pxr9
