#include "platform/midi/jack/jack_session.h"

#include "platform/midi/jack/jack_client.h"
#include "platform/midi/jack/jack_names.h"

namespace pxr9 {

JackSession::JackSession() : portChanges_(std::make_shared<JackPortSignal>()) {}
JackSession::~JackSession() = default;

std::shared_ptr<JackClient> JackSession::connect(std::string* why) {
    // A client the server shut down stays with the ports still open on it; a new one serves
    // what is opened from now on.
    if (client_ && client_->lost()) client_.reset();
    if (!client_) {
        std::string failure;
        client_ = JackClient::openWithPorts(std::string(kOwnJackClientName),
                                            {{"out", true}, {"in", false}}, failure, portChanges_);
        if (why) *why = failure;
    }
    return client_;
}

std::shared_ptr<JackClient> JackSession::client(std::string* why) {
    std::lock_guard lock(mutex_);
    return connect(why);
}

bool JackSession::serverRunning() {
    return client() != nullptr;
}

std::vector<PortEntry> JackSession::ports(bool sinks) {
    std::vector<PortEntry> ports;
    const std::shared_ptr<JackClient> jack = client();
    if (!jack) return ports;
    for (const std::string& name : jack->midiPorts(sinks)) {
        if (isOwnJackPort(name)) continue;
        ports.push_back({jackPortName(name), name});
    }
    return ports;
}

}  // namespace pxr9
