#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "engine/dialog_surface.h"
#include "firmware/resources.h"
#include "midi/midi_in_port.h"
#include "midi/midi_out_port.h"
#include "midi/poll_timer.h"
#include "protocol/device_link.h"
#include "protocol/reply_event.h"

namespace pxr9 {

using ResourceLookup = std::function<std::optional<ResourceView>(std::uint32_t id)>;

// The platform pieces an UpdaterState runs on: real ones in the program, virtual in tests.
struct UpdaterPlatform {
    MidiInService& midiIn;
    MidiOutService& midiOut;
    TimerPlatform& timer;
    ReplyEvent& replyEvent;
    Clock& clock;
};

// The record shared by the dialog, the workers and the dispatcher; the dialog owns it.
struct UpdaterState {
    UpdaterState(const UpdaterPlatform& platform, DialogSurface& dialogSurface,
                 ResourceLookup lookup = pxr9::findResource);
    UpdaterState(const UpdaterState&) = delete;
    UpdaterState& operator=(const UpdaterState&) = delete;

    // The image that writeImage is sending: a view of the program's resources.
    const std::uint8_t* imageBytes = nullptr;

    MidiInPort in;
    MidiOutPort out;
    DeviceLink link;
    // Declared after everything the dispatcher uses, so it is stopped before they go; it
    // ticks at once for each message that the input port queues.
    PollTimer timer;

    // Set once when the dialog goes away; every later wait of a worker ends at once, whatever
    // answer is handed over meanwhile.
    std::atomic<bool> abortRequested{false};

    // What closing the dialog does to a running worker: the abort, then the signal that wakes
    // its wait.
    void requestAbort();

    std::string deviceBootVersion;
    std::string devicePresetVersion;
    std::string deviceSystemVersion;
    std::string carriedBootVersion;
    std::string carriedPresetVersion;
    std::string carriedSystemVersion;

    DialogSurface& surface;
    Clock& clock;
    ResourceLookup findResource;
};

}  // namespace pxr9
