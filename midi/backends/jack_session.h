#pragma once

#include <atomic>
#include <mutex>
#include <vector>

#include "midi/backends/port_backend.h"

struct _jack_client;

namespace pxr9 {

// A port-less JACK client kept to list MIDI ports and to tell whether a server runs; it is
// opened again after the server went away. Opening a client costs tens of milliseconds, too
// much to pay for every count that a scan asks for.
class JackSession {
  public:
    JackSession();
    ~JackSession();
    JackSession(const JackSession&) = delete;
    JackSession& operator=(const JackSession&) = delete;

    // Ports that can be sent to (`sinks` true) or received from, without this program's own.
    std::vector<PortEntry> ports(bool sinks);
    // Whether a server answers now.
    bool serverRunning();
    // Returns once a connection just made carries data. The server takes a new connection
    // into its graph only at the start of a later cycle; a message sent before would be lost.
    void awaitNewConnections();
    // Returns once a few process cycles have passed (bounded to 1 s), so that a process
    // callback that began before the call has ended.
    void awaitCycles();

  private:
    bool connect();
    static void onShutdown(void* self);

    std::mutex mutex_;
    _jack_client* client_ = nullptr;
    std::atomic<bool> lost_{false};
};

}  // namespace pxr9
