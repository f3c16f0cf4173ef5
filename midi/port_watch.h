#pragma once

#include <functional>

namespace pxr9 {

// Tells when the port lists may have changed: a device came or went, a software port was
// registered or removed. It says nothing of what changed; whoever is told takes fresh lists.
class PortWatch {
  public:
    using Changed = std::function<void()>;

    virtual ~PortWatch() = default;
    // Calls `changed` on the watch's own thread after each change from now on; a burst of
    // changes may come as one call. False when nothing could be watched. At most one caller
    // at a time.
    virtual bool start(Changed changed) = 0;
    // Returns once no call of `changed` runs and none will start. Never called from inside
    // one; a no-op when not started.
    virtual void stop() = 0;
};

}  // namespace pxr9
