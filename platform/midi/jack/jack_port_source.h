#pragma once

#include "platform/midi/jack/jack_session.h"
#include "platform/midi/watch_source.h"

namespace pxr9 {

// The JACK server's ports coming and going, as the program's one client hears of them. Only
// a running server can tell: one that starts later is seen once the lists are taken again.
class JackPortSource final : public WatchSource {
  public:
    explicit JackPortSource(JackSession& session) : session_(session) {}

    int begin() override;
    bool takeChanges() override { return session_.portChanges().take(); }
    void end() override {}

  private:
    JackSession& session_;
};

}  // namespace pxr9
