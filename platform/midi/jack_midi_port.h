#pragma once

#include <atomic>
#include <chrono>
#include <memory>
#include <string>

#include "platform/midi/jack_client.h"
#include "platform/midi/jack_wake.h"

namespace pxr9 {

// What the MIDI ports of a JackClient share: the port's registration, the wait until a new
// connection carries data, and the teardown order (detached from the process callback, then
// unregistered, then freed).
class JackMidiPort : public JackEndpoint {
  public:
    using Deadline = std::chrono::steady_clock::time_point;

    // How a connect ended.
    enum class Link { carried, refused, notCarried, serverGone };

    JackMidiPort(const JackMidiPort&) = delete;
    JackMidiPort& operator=(const JackMidiPort&) = delete;

    // Connects this port with the port of that full name and returns `carried` once data sent
    // from now on travels the connection; `refused` when the server refuses, `notCarried` when
    // its running graph has not taken the connection within `bound` of the server accepting
    // it, `serverGone` when the server shut the client down. The server answers
    // the requests of all its clients one at a time, and on a busy machine with many clients
    // the answer alone can take longer than any sensible bound; the bound is for the graph.
    Link connect(const std::string& theirs, std::chrono::milliseconds bound);

  protected:
    explicit JackMidiPort(std::shared_ptr<JackClient> client) : client_(std::move(client)) {}
    ~JackMidiPort() override;

    // Registers the port and has the process callback serve it; false when either fails.
    bool open(const std::string& shortName, bool output);
    // Ends the serving and unregisters the port. A derived class calls it first in its
    // destructor, while everything its process() uses still exists.
    void close() noexcept;

    _jack_port* port() const { return port_; }
    bool serverGone() const { return client_->lost(); }
    // In process(), every cycle: notes when the graph that runs connects the port.
    void noteLink() noexcept;
    void serverLost() noexcept override { linkWake_.post(); }

  private:
    const std::shared_ptr<JackClient> client_;
    _jack_port* port_ = nullptr;
    bool attached_ = false;
    std::atomic<bool> linked_{false};
    JackWake linkWake_;
};

}  // namespace pxr9
