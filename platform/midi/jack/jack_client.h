#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/midi/jack/jack_port_signal.h"
#include "platform/midi/jack/jack_wake.h"

struct _jack_client;
struct _jack_port;

namespace pxr9 {

// Something the callbacks of a JackClient serve.
class JackEndpoint {
  public:
    virtual ~JackEndpoint() = default;
    // Once per cycle while attached, on JACK's real-time thread. Allocates nothing, takes
    // no lock.
    virtual void process(std::uint32_t frames) noexcept = 0;
    // The server has gone away: whoever waits on this endpoint must wake and fail.
    virtual void serverLost() noexcept = 0;
};

// One JACK client, its MIDI ports, and the endpoints its callbacks serve.
//
// Two faults of libjack shape it. A client's list of ports is unguarded, and the client's
// notification thread walks it whenever the server recomputes latencies, which it does for
// every active client each time any client's graph changes: registering or unregistering a
// port on an active client can crash the process. So the ports are registered before the
// client is activated, are never unregistered, and are reused: an open claims one and
// connects it, a close disconnects it and gives it back. And closing a client cancels its
// notification thread wherever it is, even holding a lock that the rest of libjack then waits
// for: so a program closes as few clients as it can, in practice one, at its end.
//
// Nothing a callback uses is freed while it can run: an endpoint is detached (which returns
// only once no callback is inside it) before it is freed, and the client is deactivated
// before it is closed. Endpoints keep the client alive through their shared_ptr.
class JackClient {
  public:
    // Opens a client named `name` (the server may add a number), not yet active; null when no
    // server answers, with the reason in `why`.
    static std::shared_ptr<JackClient> open(const std::string& name, std::string& why);
    struct PortSpec {
        std::string shortName;
        bool output;
    };
    // An active client with these ports, registered before it was activated; null with the
    // reason in `why` when a step fails. With `portChanges`, it tells that signal of ports
    // coming and going from its activation on (see watchPorts).
    static std::shared_ptr<JackClient> openWithPorts(
        const std::string& name, const std::vector<PortSpec>& ports, std::string& why,
        std::shared_ptr<JackPortSignal> portChanges = nullptr);
    // The same with one port: for a program that keeps its ports for its whole run.
    static std::shared_ptr<JackClient> openWithPort(const std::string& name,
                                                    const std::string& shortName, bool output,
                                                    std::string& why) {
        return openWithPorts(name, {{shortName, output}}, why);
    }
    ~JackClient();
    JackClient(const JackClient&) = delete;
    JackClient& operator=(const JackClient&) = delete;

    // Whether the server has shut this client down; nothing works on it afterwards.
    bool lost() const { return lost_.load(); }

    // Full names of the MIDI ports of the server that accept data (`sinks`) or give it, in
    // the server's order.
    std::vector<std::string> midiPorts(bool sinks);

    // Registers a MIDI port; false when the server refuses it or the client is active.
    bool registerPort(const std::string& shortName, bool output);
    // From its activation on, notifies `signal` whenever a port of the server is registered,
    // removed or renamed, when the server runs a new graph, and when it goes away. Only before
    // activate(): libjack takes no callback on an active client. False when active already.
    bool watchPorts(std::shared_ptr<JackPortSignal> signal);
    // Starts the process callback; false when the server refuses.
    bool activate();

    // A registered port of that direction that no one uses, now taken; null when there is
    // none. Given back with release(), once disconnected and no longer served.
    _jack_port* claim(bool output);
    void release(_jack_port* port);
    // Breaks every connection of the port.
    void disconnect(_jack_port* port);

    // Asks the server to connect `ours` with the port of that full name, in the direction of
    // `ours`. The server takes the connection into the graph it runs at a later cycle: see
    // JackMidiPort::connect.
    bool connect(_jack_port* ours, const std::string& theirs);

    // From now on `endpoint` is served every cycle; false when the client serves too many.
    bool attach(JackEndpoint& endpoint);
    // Returns once no callback runs in `endpoint` and none will again. The callbacks never
    // block, so this wait always ends.
    void detach(JackEndpoint& endpoint);

  private:
    explicit JackClient(_jack_client* client);

    static int onProcess(std::uint32_t frames, void* self);
    static void onShutdown(void* self);
    static void onPortRegistration(std::uint32_t port, int registered, void* self);
    static int onGraphOrder(void* self);
    static void onPortRename(std::uint32_t port, const char* oldName, const char* newName,
                             void* self);
    void portsChanged() noexcept;

    // Calls `visit` for every attached endpoint, counted in `inside_` so detach can wait.
    template <class Visit>
    void forEachEndpoint(Visit visit) noexcept;

    static constexpr std::size_t kMaxEndpoints = 4;

    struct Port {
        _jack_port* port;
        bool output;
        bool claimed;
    };

    _jack_client* const client_;
    std::atomic<bool> lost_{false};

    std::mutex changeMutex_;  // what follows, and attach and detach one at a time
    bool active_ = false;
    std::vector<Port> ports_;

    // Kept alive by the client; the callbacks reach it through the atomic, set before
    // activation and never again.
    std::shared_ptr<JackPortSignal> portChanges_;
    std::atomic<JackPortSignal*> portSignal_{nullptr};

    std::array<std::atomic<JackEndpoint*>, kMaxEndpoints> endpoints_{};
    std::atomic<int> inside_{0};
    std::atomic<bool> detaching_{false};
    JackWake left_;  // a callback has left the endpoints while a detach waits
};

}  // namespace pxr9
