#include <gtest/gtest.h>

#include <string>

#include "midi/backends/jack_names.h"
#include "midi/backends/rawmidi_names.h"

namespace pxr9 {
namespace {

TEST(RawMidiPortName, SubstreamNameWinsOverDeviceName) {
    struct Case {
        const char* subdevice;
        const char* device;
        const char* shown;
    };
    const Case cases[] = {
        {"KEVO PXR-9", "PXR-9 MIDI", "KEVO PXR-9"},
        {"", "KEVO PXR-9", "KEVO PXR-9"},
        {"", "", ""},  // still listed, so that numbers stay in step
        {"USB オーディオ デバイス", "x", "USB オーディオ デバイス"},
        {"KEVO PXR-9 ", "KEVO PXR-9", "KEVO PXR-9 "},  // nothing is trimmed
    };
    for (const Case& c : cases) {
        EXPECT_EQ(rawMidiPortName(c.subdevice, c.device), c.shown)
            << "subdevice '" << c.subdevice << "', device '" << c.device << "'";
    }
}

TEST(JackPortName, ShortNameAfterTheClientPart) {
    struct Case {
        const char* full;
        const char* shown;
    };
    // JACK names ports "client:port"; the part after the first colon is shown as it is.
    const Case cases[] = {
        {"pxr9-sim:KEVO PXR-9", "KEVO PXR-9"},
        {"pxr9-sim-01:KEVO PXR-9 (2)", "KEVO PXR-9 (2)"},
        {"sim:KEVO PXR-9 MIDI", "KEVO PXR-9 MIDI"},
        {"a2j:Midi Through [14] (capture): Port-0", "Midi Through [14] (capture): Port-0"},
        {"system:midi_capture_1", "midi_capture_1"},
        {"client:Port 2", "Port 2"},  // a port's own trailing number stays
        {"client:", ""},
        {"no client part", "no client part"},
    };
    for (const Case& c : cases) EXPECT_EQ(jackPortName(c.full), c.shown) << c.full;
}

TEST(JackPortName, OwnClientsAreRecognisedWhateverSuffixJackGaveThem) {
    struct Case {
        const char* full;
        bool own;
    };
    const Case cases[] = {
        {"PXR-9 Updater Out:MIDI Out", true},
        {"PXR-9 Updater In-01:MIDI In", true},
        {"PXR-9 Updater:x", true},
        {"sim:PXR-9 Updater", false},  // only the client part counts
        {"KEVO PXR-9:KEVO PXR-9", false},
        {"PXR-9 Updater", false},
    };
    for (const Case& c : cases) EXPECT_EQ(isOwnJackPort(c.full), c.own) << c.full;
}

}  // namespace
}  // namespace pxr9
