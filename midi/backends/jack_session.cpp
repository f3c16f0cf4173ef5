#include "midi/backends/jack_session.h"

#include <jack/jack.h>

#include <chrono>
#include <string>
#include <thread>

#include "midi/backends/jack_names.h"

namespace pxr9 {

namespace {

// libjack reports a missing server and more on stderr; the program has no log.
void quietJack(const char*) {}

}  // namespace

JackSession::JackSession() {
    jack_set_error_function(quietJack);
    jack_set_info_function(quietJack);
}

JackSession::~JackSession() {
    if (client_ != nullptr) jack_client_close(client_);
}

bool JackSession::connect() {
    if (client_ != nullptr && lost_.load()) {
        jack_client_close(client_);
        client_ = nullptr;
    }
    if (client_ != nullptr) return true;
    lost_.store(false);
    const std::string name(kOwnJackClientName);
    jack_status_t status{};
    client_ = jack_client_open(name.c_str(), JackNoStartServer, &status);
    if (client_ == nullptr) return false;
    jack_on_shutdown(client_, onShutdown, this);
    return true;
}

void JackSession::onShutdown(void* self) {
    static_cast<JackSession*>(self)->lost_.store(true);
}

bool JackSession::serverRunning() {
    std::lock_guard lock(mutex_);
    return connect();
}

void JackSession::awaitNewConnections() { awaitCycles(); }

void JackSession::awaitCycles() {
    std::lock_guard lock(mutex_);
    if (!connect()) return;
    // Three cycles leave room for a switch that the server had to put off by one. Bounded, so
    // a server that stops running cannot hold an open for ever.
    constexpr jack_nframes_t kCycles = 3;
    const jack_nframes_t period = jack_get_buffer_size(client_);
    const jack_nframes_t begin = jack_frame_time(client_);
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    while (jack_frame_time(client_) - begin < kCycles * period && !lost_.load() &&
           std::chrono::steady_clock::now() < giveUp) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

std::vector<PortEntry> JackSession::ports(bool sinks) {
    std::lock_guard lock(mutex_);
    std::vector<PortEntry> ports;
    if (!connect()) return ports;
    // The same query RtMidi makes, so both see the ports in the same order.
    const char** names = jack_get_ports(client_, nullptr, JACK_DEFAULT_MIDI_TYPE,
                                        sinks ? JackPortIsInput : JackPortIsOutput);
    if (names == nullptr) return ports;
    for (const char** name = names; *name != nullptr; ++name) {
        if (isOwnJackPort(*name)) continue;
        ports.push_back({jackPortName(*name), *name});
    }
    jack_free(names);
    return ports;
}

}  // namespace pxr9
