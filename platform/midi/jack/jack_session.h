#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "midi/midi_connection.h"

namespace pxr9 {

class JackClient;

// The program's one JACK client: it lists the MIDI ports and carries the program's two ports,
// "out" and "in", which every open reuses (see JackClient for why they are never
// unregistered). Opened on first use and again after the server went away; opening costs tens
// of milliseconds, too much for every count that a scan asks for.
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
    // The client; null without a server, with the reason in `why` when given.
    std::shared_ptr<JackClient> client(std::string* why = nullptr);

  private:
    std::shared_ptr<JackClient> connect(std::string* why);

    std::mutex mutex_;
    std::shared_ptr<JackClient> client_;
};

}  // namespace pxr9
