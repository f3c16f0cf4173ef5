#include <gtest/gtest.h>

#include <string>

#include "platform/midi/alsa/rawmidi_names.h"
#include "platform/midi/jack/jack_names.h"

namespace pxr9::testing {
namespace {

TEST(RawMidiPortNames, OnePortPerCardShowsTheDeviceAndRepeatsAreNumberedInCardOrder) {
    using Ports = std::vector<RawMidiPortInfo>;
    using Names = std::vector<std::string>;
    struct Case {
        const char* what;
        Ports ports;
        Names names;
    };
    const Case cases[] = {
        {"a USB device with one port shows its product name",
         {{1, "KEVO PXR-9", "KEVO PXR-9 MIDI 1"}},
         {"KEVO PXR-9"}},
        {"identical devices are numbered from the second on",
         {{1, "KEVO PXR-9", "KEVO PXR-9 MIDI 1"},
          {2, "KEVO PXR-9", "KEVO PXR-9 MIDI 1"},
          {4, "KEVO PXR-9", "KEVO PXR-9 MIDI 1"}},
         {"KEVO PXR-9", "KEVO PXR-9 (2)", "KEVO PXR-9 (3)"}},
        {"other devices in between do not disturb the count",
         {{0, "Synth", "Synth MIDI 1"},
          {1, "KEVO PXR-9", "KEVO PXR-9 MIDI 1"},
          {2, "Synth", "Synth MIDI 1"},
          {3, "KEVO PXR-9", "KEVO PXR-9 MIDI 1"}},
         {"Synth", "KEVO PXR-9", "Synth (2)", "KEVO PXR-9 (2)"}},
        {"a device with several ports keeps the names that tell them apart",
         {{0, "Hub", "Hub MIDI 1"},
          {0, "Hub", "Hub MIDI 2"},
          {1, "KEVO PXR-9", "KEVO PXR-9 MIDI 1"}},
         {"Hub MIDI 1", "Hub MIDI 2", "KEVO PXR-9"}},
        {"two identical devices with several ports",
         {{0, "Hub", "Hub MIDI 1"},
          {0, "Hub", "Hub MIDI 2"},
          {1, "Hub", "Hub MIDI 1"},
          {1, "Hub", "Hub MIDI 2"}},
         {"Hub MIDI 1", "Hub MIDI 2", "Hub MIDI 1 (2)", "Hub MIDI 2 (2)"}},
        {"ports of several devices on one card without names of their own",
         {{0, "MPU-401 A", ""}, {0, "MPU-401 B", ""}},
         {"MPU-401 A", "MPU-401 B"}},
        {"a lone port without a device name keeps its own", {{0, "", "Port 1"}}, {"Port 1"}},
        {"unreadable ports still take their place, unnumbered",
         {{0, "", ""}, {1, "", ""}, {2, "KEVO PXR-9", "KEVO PXR-9 MIDI 1"}},
         {"", "", "KEVO PXR-9"}},
        {"nothing is trimmed or folded",
         {{0, "KEVO PXR-9 ", "x"}, {1, "kevo pxr-9", "y"}},
         {"KEVO PXR-9 ", "kevo pxr-9"}},
        {"no ports", {}, {}},
    };
    for (const Case& c : cases) EXPECT_EQ(rawMidiPortNames(c.ports), c.names) << c.what;
}

TEST(RawMidiAddress, DeviceFilesBecomeAlsaNames) {
    struct Case {
        const char* given;
        const char* address;
    };
    const Case cases[] = {
        {"hw:1,0", "hw:1,0"},
        {"hw:1,0,0", "hw:1,0,0"},
        {"/dev/snd/midiC1D0", "hw:1,0"},
        {"/dev/snd/midiC12D3", "hw:12,3"},
        {"midiC1D0", "midiC1D0"},                  // not a path: an ALSA name as given
        {"/dev/snd/midiC1D", "/dev/snd/midiC1D"},  // incomplete: left for ALSA to refuse
        {"/dev/snd/midiC1D0x", "/dev/snd/midiC1D0x"},
        {"/dev/snd/pcmC0D0p", "/dev/snd/pcmC0D0p"},
        {"/dev/snd/midiC99999D0", "/dev/snd/midiC99999D0"},
    };
    for (const Case& c : cases) EXPECT_EQ(rawMidiAddress(c.given), c.address) << c.given;
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
}  // namespace pxr9::testing
