#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "engine/device_channel.h"
#include "engine/dialog_surface.h"
#include "engine/version_stamps.h"
#include "firmware/resources.h"
#include "midi/port_watch.h"
#include "protocol/reply_event.h"

namespace pxr9 {

using ResourceLookup = std::function<std::optional<ResourceView>(std::uint32_t id)>;

// Told of the dispatch thread of each UpdaterState made on a platform, and of its end: how a
// virtual world learns when a reply it delivered has been handled.
class DispatchWatcher {
  public:
    virtual void watch(DispatchThread* dispatcher) = 0;

  protected:
    ~DispatchWatcher() = default;
};

// The platform pieces an UpdaterState runs on: real ones in the program, virtual in tests.
struct UpdaterPlatform {
    InputPorts& inputs;
    OutputPorts& outputs;
    ReplyEvent& replyEvent;
    Clock& clock;
    DispatchWatcher* watcher = nullptr;
    // Tells when the port lists may have changed; null where nothing can tell.
    PortWatch* portWatch = nullptr;
};

// The record shared by the dialog, the workers and the dispatcher; the dialog owns it.
struct UpdaterState {
    UpdaterState(const UpdaterPlatform& platform, DialogSurface& dialogSurface,
                 ResourceLookup lookup = pxr9::findResource);
    ~UpdaterState();
    UpdaterState(const UpdaterState&) = delete;
    UpdaterState& operator=(const UpdaterState&) = delete;

    DeviceChannel channel;
    // The channel's link: what every procedure works on.
    DeviceLink& link;

    // Set once when the dialog goes away; every later wait of a worker ends at once, whatever
    // answer is handed over meanwhile.
    std::atomic<bool> abortRequested{false};

    // What closing the dialog does to a running worker: the abort, then the signal that wakes
    // its wait.
    void requestAbort();

    VersionStamps versions;

    DialogSurface& surface;
    Clock& clock;
    ResourceLookup findResource;

  private:
    DispatchWatcher* watcher_;
};

}  // namespace pxr9
