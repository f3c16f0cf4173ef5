#include "platform/midi/jack/jack_client.h"

#include <jack/jack.h>
#include <jack/midiport.h>

#include <cerrno>
#include <cstdio>

namespace pxr9 {

namespace {

// libjack reports a missing server and more on stderr; the programs have no log for it.
void quietJack(const char*) {}

}  // namespace

std::shared_ptr<JackClient> JackClient::open(const std::string& name, std::string& why) {
    static const bool quiet = [] {
        jack_set_error_function(quietJack);
        jack_set_info_function(quietJack);
        return true;
    }();
    (void)quiet;
    jack_status_t status{};
    jack_client_t* raw = jack_client_open(name.c_str(), JackNoStartServer, &status);
    if (raw == nullptr) {
        char flags[16];
        std::snprintf(flags, sizeof flags, "0x%x", static_cast<unsigned>(status));
        why = (status & JackServerFailed) != 0
                  ? "no JACK server is running"
                  : std::string("the JACK server refused a client (status ") + flags + ")";
        return nullptr;
    }
    std::shared_ptr<JackClient> client(new JackClient(raw));
    jack_set_process_callback(raw, onProcess, client.get());
    jack_on_shutdown(raw, onShutdown, client.get());
    return client;
}

std::shared_ptr<JackClient> JackClient::openWithPorts(const std::string& name,
                                                      const std::vector<PortSpec>& ports,
                                                      std::string& why,
                                                      std::shared_ptr<JackPortSignal> portChanges) {
    std::shared_ptr<JackClient> client = open(name, why);
    if (!client) return nullptr;
    if (portChanges && !client->watchPorts(std::move(portChanges))) {
        why = "the JACK server did not take the port callbacks";
        return nullptr;
    }
    for (const PortSpec& port : ports) {
        if (!client->registerPort(port.shortName, port.output)) {
            why = "the JACK server did not register the port \"" + port.shortName + "\"";
            return nullptr;
        }
    }
    if (!client->activate()) {
        why = "the JACK server did not activate the client";
        return nullptr;
    }
    return client;
}

JackClient::JackClient(jack_client_t* client) : client_(client) {}

JackClient::~JackClient() {
    // After jack_deactivate no process callback runs; after jack_client_close no callback
    // at all. Only then are the members the callbacks use destroyed. Closing also removes
    // the ports.
    jack_deactivate(client_);
    jack_client_close(client_);
}

template <class Visit>
void JackClient::forEachEndpoint(Visit visit) noexcept {
    // seq_cst on inside_ and detaching_: either detach sees this callback inside, or this
    // callback sees the detach waiting and wakes it.
    inside_.fetch_add(1);
    for (std::atomic<JackEndpoint*>& slot : endpoints_) {
        if (JackEndpoint* endpoint = slot.load()) visit(*endpoint);
    }
    if (inside_.fetch_sub(1) == 1 && detaching_.load()) left_.post();
}

int JackClient::onProcess(jack_nframes_t frames, void* self) {
    static_cast<JackClient*>(self)->forEachEndpoint(
        [frames](JackEndpoint& endpoint) { endpoint.process(frames); });
    return 0;
}

void JackClient::onShutdown(void* self) {
    auto* client = static_cast<JackClient*>(self);
    client->lost_.store(true);
    client->forEachEndpoint([](JackEndpoint& endpoint) { endpoint.serverLost(); });
    // The server's ports went with it.
    client->portsChanged();
}

void JackClient::onPortRegistration(jack_port_id_t, int, void* self) {
    static_cast<JackClient*>(self)->portsChanged();
}

int JackClient::onGraphOrder(void* self) {
    static_cast<JackClient*>(self)->portsChanged();
    return 0;
}

void JackClient::onPortRename(jack_port_id_t, const char*, const char*, void* self) {
    static_cast<JackClient*>(self)->portsChanged();
}

void JackClient::portsChanged() noexcept {
    if (JackPortSignal* signal = portSignal_.load()) signal->notify();
}

std::vector<std::string> JackClient::midiPorts(bool sinks) {
    std::vector<std::string> names;
    const char** found = jack_get_ports(client_, nullptr, JACK_DEFAULT_MIDI_TYPE,
                                        sinks ? JackPortIsInput : JackPortIsOutput);
    if (found == nullptr) return names;
    for (const char** name = found; *name != nullptr; ++name) names.emplace_back(*name);
    jack_free(found);
    return names;
}

bool JackClient::registerPort(const std::string& shortName, bool output) {
    std::lock_guard lock(changeMutex_);
    if (lost() || active_) return false;
    jack_port_t* port = jack_port_register(client_, shortName.c_str(), JACK_DEFAULT_MIDI_TYPE,
                                           output ? JackPortIsOutput : JackPortIsInput, 0);
    if (port == nullptr) return false;
    ports_.push_back({port, output, false});
    return true;
}

bool JackClient::watchPorts(std::shared_ptr<JackPortSignal> signal) {
    std::lock_guard lock(changeMutex_);
    if (active_ || portChanges_ || !signal) return false;
    // On JACK's notification thread; they only count up the signal, which never blocks. A
    // port's removal is told before the port lists show it: the server switches to the graph
    // without it at its next cycle, and then tells of the new graph order.
    if (jack_set_port_registration_callback(client_, onPortRegistration, this) != 0 ||
        jack_set_port_rename_callback(client_, onPortRename, this) != 0 ||
        jack_set_graph_order_callback(client_, onGraphOrder, this) != 0) {
        return false;
    }
    portChanges_ = std::move(signal);
    portSignal_.store(portChanges_.get());
    return true;
}

bool JackClient::activate() {
    std::lock_guard lock(changeMutex_);
    if (lost()) return false;
    active_ = active_ || jack_activate(client_) == 0;
    return active_;
}

jack_port_t* JackClient::claim(bool output) {
    std::lock_guard lock(changeMutex_);
    for (Port& port : ports_) {
        if (port.output == output && !port.claimed) {
            port.claimed = true;
            return port.port;
        }
    }
    return nullptr;
}

void JackClient::disconnect(jack_port_t* port) {
    if (!lost()) jack_port_disconnect(client_, port);
}

void JackClient::release(jack_port_t* port) {
    std::lock_guard lock(changeMutex_);
    for (Port& mine : ports_) {
        if (mine.port == port) mine.claimed = false;
    }
}

bool JackClient::connect(jack_port_t* ours, const std::string& theirs) {
    if (lost()) return false;
    const char* own = jack_port_name(ours);
    const int made = (jack_port_flags(ours) & JackPortIsOutput) != 0
                         ? jack_connect(client_, own, theirs.c_str())
                         : jack_connect(client_, theirs.c_str(), own);
    return made == 0 || made == EEXIST;
}

bool JackClient::attach(JackEndpoint& endpoint) {
    std::lock_guard lock(changeMutex_);
    for (std::atomic<JackEndpoint*>& slot : endpoints_) {
        if (slot.load() == nullptr) {
            slot.store(&endpoint);
            return true;
        }
    }
    return false;
}

void JackClient::detach(JackEndpoint& endpoint) {
    std::lock_guard lock(changeMutex_);
    for (std::atomic<JackEndpoint*>& slot : endpoints_) {
        if (slot.load() == &endpoint) slot.store(nullptr);
    }
    // A callback that entered before the store may still be inside the endpoint; one that
    // enters after it cannot reach it. Wait until none is inside.
    detaching_.store(true);
    while (inside_.load() != 0) left_.wait();
    detaching_.store(false);
}

}  // namespace pxr9
