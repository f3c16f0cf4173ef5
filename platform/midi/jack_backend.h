#pragma once

#include <memory>

#include "platform/midi/port_backend.h"

namespace pxr9 {

class JackSession;

// Software ports of a running JACK server, on the program's one JACK client. Without a server
// there are no ports, and nothing is printed.
class JackOutputBackend : public OutputBackend {
  public:
    explicit JackOutputBackend(JackSession& session) : session_(session) {}
    std::vector<PortEntry> ports() override;
    std::unique_ptr<OutputConnection> open(const PortEntry& port) override;

  private:
    JackSession& session_;
};

class JackInputBackend : public InputBackend {
  public:
    explicit JackInputBackend(JackSession& session) : session_(session) {}
    std::vector<PortEntry> ports() override;
    std::unique_ptr<InputConnection> open(const PortEntry& port, SysexRecorder& recorder) override;

  private:
    JackSession& session_;
};

}  // namespace pxr9
