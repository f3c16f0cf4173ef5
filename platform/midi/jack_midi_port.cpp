#include "platform/midi/jack_midi_port.h"

#include <jack/jack.h>

namespace pxr9 {

JackMidiPort::~JackMidiPort() {
    close();
}

bool JackMidiPort::open(const std::string& shortName, bool output) {
    port_ = client_->registerPort(shortName, output);
    if (port_ == nullptr) return false;
    attached_ = client_->attach(*this);
    return attached_;
}

void JackMidiPort::close() noexcept {
    if (attached_) client_->detach(*this);
    attached_ = false;
    client_->unregisterPort(port_);
    port_ = nullptr;
}

void JackMidiPort::noteLink() noexcept {
    // Read on the thread that moves the data: jack_port_connected here sees the graph of
    // this very cycle, so every later cycle carries the connection too.
    if (linked_.load(std::memory_order_relaxed) || jack_port_connected(port_) <= 0) return;
    linked_.store(true, std::memory_order_release);
    linkWake_.post();
}

JackMidiPort::Link JackMidiPort::connect(const std::string& theirs,
                                         std::chrono::milliseconds bound) {
    if (serverGone()) return Link::serverGone;
    if (port_ == nullptr || !client_->connect(port_, theirs)) {
        return serverGone() ? Link::serverGone : Link::refused;
    }
    const auto deadline = std::chrono::steady_clock::now() + bound;
    while (!linked_.load(std::memory_order_acquire)) {
        if (serverGone()) return Link::serverGone;
        if (!linkWake_.waitUntil(deadline)) break;
    }
    if (serverGone()) return Link::serverGone;
    return linked_.load(std::memory_order_acquire) ? Link::carried : Link::notCarried;
}

}  // namespace pxr9
