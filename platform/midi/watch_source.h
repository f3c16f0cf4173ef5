#pragma once

namespace pxr9 {

// One system's way of telling that its ports may have changed: a file descriptor that becomes
// readable then. A PolledPortWatch waits on several at once on its own thread.
class WatchSource {
  public:
    virtual ~WatchSource() = default;
    // Begins watching and returns the descriptor to wait on, or -1 when nothing can be
    // watched. What happened before is forgotten: the watch's owner takes fresh lists after.
    virtual int begin() = 0;
    // Reads what made the descriptor readable, without blocking; true when it may have
    // changed the port lists.
    virtual bool takeChanges() = 0;
    // Stops watching; the descriptor from begin() is no longer waited on.
    virtual void end() = 0;
};

}  // namespace pxr9
