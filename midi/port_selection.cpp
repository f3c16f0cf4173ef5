#include "midi/port_selection.h"

#include <algorithm>

namespace pxr9 {

namespace {

// "USB オーディオ デバイス" as the device stores it (code page 932).
constexpr char kName0ShiftJis[] =
    "\x55\x53\x42\x20\x83\x49\x81\x5B\x83\x66\x83\x42\x83\x49\x20\x83\x66\x83\x6F\x83\x43\x83"
    "\x58";
// The same text in UTF-8.
constexpr char kName0Utf8[] =
    "USB \xE3\x82\xAA\xE3\x83\xBC\xE3\x83\x87\xE3\x82\xA3\xE3\x82\xAA "
    "\xE3\x83\x87\xE3\x83\x90\xE3\x82\xA4\xE3\x82\xB9";

}  // namespace

std::array<std::string, kPortNameCount> portNames(NameEncoding encoding) {
    return {encoding == NameEncoding::ShiftJis ? kName0ShiftJis : kName0Utf8,
            "USB Audio Device",
            "KEVO RN Series",
            "KEVO PXR-9 MIDI",
            "KEVO PXR-9",
            "KEVO T Series"};
}

std::array<std::string, kPortNameCount> portPatterns(int instanceNumber, NameEncoding encoding) {
    auto patterns = portNames(encoding);
    if (instanceNumber != 1) {
        for (auto& pattern : patterns) {
            pattern += " (" + std::to_string(instanceNumber) + ")";
        }
    }
    return patterns;
}

std::vector<std::string> listDeviceNames(PortList& devices) {
    std::vector<std::string> names;
    for (int k = 0; k < devices.count(); ++k) {
        std::string name;
        if (!devices.name(k, name)) {
            name.clear();
        }
        // A list item is a C text: whatever follows an embedded zero is not part of it.
        name.erase(std::min(name.find('\0'), name.size()));
        names.push_back(std::move(name));
    }
    return names;
}

int selectPort(const std::vector<std::string>& items,
               const std::array<std::string, kPortNameCount>& patterns) {
    int selected = -1;
    for (std::size_t k = 0; k < items.size(); ++k) {
        if (std::find(patterns.begin(), patterns.end(), items[k]) != patterns.end()) {
            selected = static_cast<int>(k);
        }
    }
    return selected;
}

}  // namespace pxr9
