#include "platform/midi/jack/jack_midi_port.h"

#include <jack/jack.h>

namespace pxr9 {

JackMidiPort::~JackMidiPort() {
    close();
}

bool JackMidiPort::open(std::shared_ptr<JackClient> client, bool output, std::string& why) {
    client_ = std::move(client);
    port_ = client_->claim(output);
    if (port_ == nullptr) {
        why = std::string("the program's JACK ") + (output ? "output" : "input") + " is in use";
        return false;
    }
    attached_ = client_->attach(*this);
    if (!attached_) why = "the JACK client serves too many ports";
    return attached_;
}

void JackMidiPort::close() noexcept {
    if (port_ == nullptr) return;
    accepted_.store(false);  // our own disconnect is no peer going away
    // Disconnected first: a port no callback serves any more keeps its last cycle's events.
    client_->disconnect(port_);
    if (attached_) client_->detach(*this);
    attached_ = false;
    client_->release(port_);
    port_ = nullptr;
}

void JackMidiPort::noteLink() noexcept {
    // Read on the thread that moves the data: a connection seen here is in the graph of this
    // very cycle. The graph that runs may still be one from before the server took our
    // connection, with a connection of the port's last user to the same port that is about to
    // go. The server switches graphs only between cycles that every client has finished, so
    // from the cycle after the one that first sees the connection accepted, every graph has
    // it: only then does being connected mean ours, and no longer being connected mean that
    // the other end went away.
    if (peerGone_.load(std::memory_order_relaxed) || !accepted_.load(std::memory_order_acquire)) {
        return;
    }
    if (!graphSettled_) {
        graphSettled_ = true;
        return;
    }
    const bool connected = jack_port_connected_to(port_, target_.c_str()) > 0;
    if (!linked_.load(std::memory_order_relaxed)) {
        if (!connected) return;
        linked_.store(true, std::memory_order_release);
        linkWake_.post();
    } else if (!connected) {
        peerGone_.store(true);
        peerLost();
    }
}

JackMidiPort::Link JackMidiPort::connect(const std::string& theirs,
                                         std::chrono::milliseconds bound) {
    if (serverGone()) return Link::serverGone;
    if (port_ == nullptr || wanted_.load()) return Link::refused;  // one connection per open
    target_ = theirs;
    wanted_.store(true, std::memory_order_release);
    if (!client_->connect(port_, theirs)) {
        return serverGone() ? Link::serverGone : Link::refused;
    }
    accepted_.store(true, std::memory_order_release);
    const auto deadline = std::chrono::steady_clock::now() + bound;
    while (!linked_.load(std::memory_order_acquire)) {
        if (serverGone()) return Link::serverGone;
        if (!linkWake_.waitUntil(deadline)) break;
    }
    if (serverGone()) return Link::serverGone;
    return linked_.load(std::memory_order_acquire) ? Link::carried : Link::notCarried;
}

}  // namespace pxr9
