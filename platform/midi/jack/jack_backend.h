#pragma once

#include <memory>

#include "midi/midi_connection.h"

namespace pxr9 {

class JackSession;
class PortNotes;

// Software ports of a running JACK server, on the program's one JACK client. Without a server
// there are no ports, and nothing is printed. A failed open notes its cause in `notes`.
class JackOutputBackend : public OutputBackend {
  public:
    explicit JackOutputBackend(JackSession& session, PortNotes* notes = nullptr)
        : session_(session), notes_(notes) {}
    std::vector<PortEntry> ports() override;
    std::unique_ptr<OutputConnection> open(const PortEntry& port) override;

  private:
    JackSession& session_;
    PortNotes* notes_;
};

class JackInputBackend : public InputBackend {
  public:
    explicit JackInputBackend(JackSession& session, PortNotes* notes = nullptr)
        : session_(session), notes_(notes) {}
    std::vector<PortEntry> ports() override;
    std::unique_ptr<InputConnection> open(const PortEntry& port, SysexReceiver& receiver) override;

  private:
    JackSession& session_;
    PortNotes* notes_;
};

}  // namespace pxr9
