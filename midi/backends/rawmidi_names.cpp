#include "midi/backends/rawmidi_names.h"

#include <cctype>
#include <map>

namespace pxr9 {

std::string rawMidiPortName(std::string_view subdeviceName, std::string_view deviceName) {
    return std::string(subdeviceName.empty() ? deviceName : subdeviceName);
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
