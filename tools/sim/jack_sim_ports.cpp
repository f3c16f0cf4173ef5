#include "tools/sim/jack_sim_ports.h"

#include "platform/midi/jack/jack_client.h"
#include "platform/midi/jack/jack_midi_in.h"
#include "platform/midi/jack/jack_midi_out.h"

namespace pxr9::tools {

JackSimPorts::JackSimPorts(const SimToolOptions& options)
    : portName_(options.portName()), server_(options) {}

JackSimPorts::~JackSimPorts() {
    stop();
}

bool JackSimPorts::open(std::string& error) {
    const std::string client = "pxr9-sim-" + portName_;
    std::string why;
    if (auto out = JackClient::openWithPort(client + " out", portName_, true, why)) {
        output_ = JackMidiOut::open(std::move(out), why);
    }
    auto in = output_ ? JackClient::openWithPort(client + " in", portName_, false, why) : nullptr;
    if (in) {
        input_ = JackMidiIn::open(
            std::move(in),
            [this](const std::uint8_t* bytes, std::size_t count) { server_.deliver(bytes, count); },
            why);
    }
    if (output_ && input_ && !server_.start([this](const std::vector<std::uint8_t>& answer) {
            output_->send(answer.data(), answer.size());
        })) {
        why = "the device thread did not start";
        input_.reset();
    }
    if (!output_ || !input_) {
        error = "cannot create the JACK MIDI ports \"" + portName_ + "\": " + why;
        input_.reset();
        output_.reset();
        return false;
    }
    return true;
}

void JackSimPorts::stop() {
    input_.reset();  // after this nothing is delivered any more
    server_.stop();
    output_.reset();  // each client is closed with the last port on it
}

}  // namespace pxr9::tools
