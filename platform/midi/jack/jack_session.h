#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "midi/midi_connection.h"
#include "platform/midi/jack/jack_port_signal.h"

namespace pxr9 {

class JackClient;

// The program's one JACK client: it lists the MIDI ports and carries the program's two ports,
// "out" and "in", which every open reuses (see JackClient for why they are never
// unregistered). Opened on first use and again after the server went away; opening costs tens
// of milliseconds, too much for every count that a scan asks for. Every client it opens tells
// portChanges() of ports coming and going.
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
    // Notified by the client's callbacks; outlives every client.
    JackPortSignal& portChanges() { return *portChanges_; }

  private:
    std::shared_ptr<JackClient> connect(std::string* why);

    const std::shared_ptr<JackPortSignal> portChanges_;
    std::mutex mutex_;
    std::shared_ptr<JackClient> client_;
};

}  // namespace pxr9
