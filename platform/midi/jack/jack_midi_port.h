#pragma once

#include <atomic>
#include <chrono>
#include <memory>
#include <string>

#include "platform/midi/jack/jack_client.h"
#include "platform/midi/jack/jack_wake.h"

namespace pxr9 {

// What the JACK MIDI ports share: a port claimed on a JackClient (registered there before the
// client was activated), the wait until a new connection carries data, and the teardown
// order (disconnected and detached from the callbacks, then freed; the port itself stays
// with the client for the next open).
class JackMidiPort : public JackEndpoint {
  public:
    using Deadline = std::chrono::steady_clock::time_point;

    // How a connect ended.
    enum class Link { carried, refused, notCarried, serverGone };

    JackMidiPort(const JackMidiPort&) = delete;
    JackMidiPort& operator=(const JackMidiPort&) = delete;

    // Connects this port, once, with the port of that full name and returns `carried` once
    // data sent from now on travels the connection; `refused` when the server refuses,
    // `notCarried` when its running graph has not taken the connection within `bound` of the
    // server accepting it, `serverGone` when the server shut the client down. The server
    // answers the requests of all its clients one at a time, and on a busy machine with many
    // clients the answer alone can take longer than any sensible bound; the bound is for the
    // graph.
    Link connect(const std::string& theirs, std::chrono::milliseconds bound);

    // Whether the server has shut the port's client down.
    bool serverGone() const { return client_ && client_->lost(); }
    // Whether the connection that connect() carried has gone since: the port at the other end
    // was unregistered (its program ended) or someone else broke the connection.
    bool peerGone() const { return peerGone_.load(); }

  protected:
    JackMidiPort() = default;
    ~JackMidiPort() override;

    // Claims a port of that direction on `client` and has the callbacks serve it; false when
    // either fails, with the reason in `why`.
    bool open(std::shared_ptr<JackClient> client, bool output, std::string& why);
    // Ends the connections and the serving. A derived class calls it first in its destructor,
    // while everything its callbacks use still exists.
    void close() noexcept;

    _jack_port* port() const { return port_; }
    // In process(), every cycle: notes when the graph that runs connects the port, and when
    // it no longer does.
    void noteLink() noexcept;
    void serverLost() noexcept override { linkWake_.post(); }
    // On the real-time thread, once, when the carried connection has gone (see peerGone).
    virtual void peerLost() noexcept {}

  private:
    std::shared_ptr<JackClient> client_;
    _jack_port* port_ = nullptr;
    bool attached_ = false;
    // The port connect() waits for, written before `wanted_` is set.
    std::string target_;
    std::atomic<bool> wanted_{false};
    // Set once the server has taken the connection into the graph it will run next.
    std::atomic<bool> accepted_{false};
    bool graphSettled_ = false;  // the callback's own: a whole cycle has begun since accepted_
    std::atomic<bool> linked_{false};
    std::atomic<bool> peerGone_{false};
    JackWake linkWake_;
};

}  // namespace pxr9
