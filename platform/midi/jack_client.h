#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/midi/jack_wake.h"

struct _jack_client;
struct _jack_port;

namespace pxr9 {

// Something the process callback of a JackClient serves, on JACK's real-time thread.
class JackEndpoint {
  public:
    virtual ~JackEndpoint() = default;
    // Once per cycle while attached. Real-time: allocates nothing, takes no lock.
    virtual void process(std::uint32_t frames) noexcept = 0;
    // The server has gone away: whoever waits on this endpoint must wake and fail.
    virtual void serverLost() noexcept = 0;
};

// One activated JACK client and the endpoints its process callback serves. Nothing the
// callback uses is freed while it can run: an endpoint is detached (which returns only once
// no callback is inside it) before it is freed, and the client is deactivated before it is
// closed. Endpoints keep the client alive through their shared_ptr.
class JackClient {
  public:
    // Opens and activates a client named `name` (the server may add a number); null when no
    // server answers, with the reason in `why`.
    static std::shared_ptr<JackClient> open(const std::string& name, std::string& why);
    ~JackClient();
    JackClient(const JackClient&) = delete;
    JackClient& operator=(const JackClient&) = delete;

    // Whether the server has shut this client down; nothing works on it afterwards.
    bool lost() const { return lost_.load(); }

    // Full names of the MIDI ports of the server that accept data (`sinks`) or give it, in
    // the server's order.
    std::vector<std::string> midiPorts(bool sinks);

    // A MIDI port of this client; null when the server refuses it.
    _jack_port* registerPort(const std::string& shortName, bool output);
    void unregisterPort(_jack_port* port);
    // Asks the server to connect `ours` with the port of that full name, in the direction of
    // `ours`. The server takes the connection into the graph it runs at a later cycle: see
    // JackMidiPort::connect.
    bool connect(_jack_port* ours, const std::string& theirs);

    // From now on `endpoint` is served every cycle; false when the client serves too many.
    bool attach(JackEndpoint& endpoint);
    // Returns once no process callback runs in `endpoint` and none will again. The callback
    // never blocks, so this wait always ends.
    void detach(JackEndpoint& endpoint);

  private:
    explicit JackClient(_jack_client* client);

    static int onProcess(std::uint32_t frames, void* self);
    static void onShutdown(void* self);

    // Calls `visit` for every attached endpoint, counted in `inside_` so detach can wait.
    template <class Visit>
    void forEachEndpoint(Visit visit) noexcept;

    static constexpr std::size_t kMaxEndpoints = 16;

    _jack_client* const client_;
    std::atomic<bool> lost_{false};

    std::mutex changeMutex_;  // attach and detach, one at a time
    std::array<std::atomic<JackEndpoint*>, kMaxEndpoints> endpoints_{};
    std::atomic<int> inside_{0};
    std::atomic<bool> detaching_{false};
    JackWake left_;  // a callback has left the endpoints while a detach waits
};

}  // namespace pxr9
