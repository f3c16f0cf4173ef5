#include "platform/midi/jack_backend.h"

#include <chrono>

#include "platform/midi/jack_client.h"
#include "platform/midi/jack_midi_in.h"
#include "platform/midi/jack_midi_out.h"
#include "platform/midi/jack_session.h"

namespace pxr9 {

namespace {

// How long an open may wait for the running graph to take a connection the server accepted.
constexpr std::chrono::seconds kConnectBound{10};

class JackOutput : public OutputConnection {
  public:
    explicit JackOutput(std::unique_ptr<JackMidiOut> port) : port_(std::move(port)) {}
    bool send(const std::uint8_t* data, std::size_t size) override {
        return port_->send(data, size);
    }
    void cancel() override { port_->cancel(); }

  private:
    const std::unique_ptr<JackMidiOut> port_;
};

// Messages arrive from the open on; the recorder drops them until it is started and after
// it is stopped.
class JackInput : public InputConnection {
  public:
    explicit JackInput(std::unique_ptr<JackMidiIn> port) : port_(std::move(port)) {}
    bool start() override { return true; }
    void stop() override {}

  private:
    const std::unique_ptr<JackMidiIn> port_;
};

}  // namespace

std::vector<PortEntry> JackOutputBackend::ports() {
    return session_.ports(true);
}

std::unique_ptr<OutputConnection> JackOutputBackend::open(const PortEntry& port) {
    const std::shared_ptr<JackClient> client = session_.client();
    if (!client) return nullptr;
    std::unique_ptr<JackMidiOut> midi = JackMidiOut::open(client, session_.portName("out"));
    if (!midi || !midi->connect(port.address, kConnectBound)) return nullptr;
    return std::make_unique<JackOutput>(std::move(midi));
}

std::vector<PortEntry> JackInputBackend::ports() {
    return session_.ports(false);
}

std::unique_ptr<InputConnection> JackInputBackend::open(const PortEntry& port,
                                                        SysexRecorder& recorder) {
    const std::shared_ptr<JackClient> client = session_.client();
    if (!client) return nullptr;
    std::unique_ptr<JackMidiIn> midi = JackMidiIn::open(
        client, session_.portName("in"),
        [&recorder](const std::uint8_t* bytes, std::size_t count) { recorder.feed(bytes, count); });
    if (!midi || !midi->connect(port.address, kConnectBound)) return nullptr;
    return std::make_unique<JackInput>(std::move(midi));
}

}  // namespace pxr9
