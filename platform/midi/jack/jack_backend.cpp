#include "platform/midi/jack/jack_backend.h"

#include <chrono>
#include <string>
#include <utility>

#include "platform/midi/jack/jack_client.h"
#include "platform/midi/jack/jack_midi_in.h"
#include "platform/midi/jack/jack_midi_out.h"
#include "platform/midi/jack/jack_session.h"
#include "platform/midi/port_notes.h"
#include "platform/midi/stream/sysex_recorder.h"

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
    bool deviceGone() const override { return port_->deviceGone(); }

  private:
    const std::unique_ptr<JackMidiOut> port_;
};

// Messages arrive from the open on; the recorder drops them until it is started and after
// it is stopped, and so it does the end of the input when the other end goes away.
class JackInput : public InputConnection {
  public:
    explicit JackInput(std::unique_ptr<SysexRecorder> recorder) : recorder_(std::move(recorder)) {}

    bool start() override {
        recorder_->start();
        return true;
    }
    void stop() override { recorder_->stop(); }
    SysexRecorder& recorder() { return *recorder_; }
    void attach(std::unique_ptr<JackMidiIn> port) { port_ = std::move(port); }

  private:
    const std::unique_ptr<SysexRecorder> recorder_;
    // Declared after the recorder, so the port's delivery thread ends before the recorder
    // it feeds goes.
    std::unique_ptr<JackMidiIn> port_;
};

// Why a connect that did not carry failed, after "cannot be opened: ".
std::string linkCause(JackMidiPort::Link link) {
    switch (link) {
        case JackMidiPort::Link::carried:
            break;
        case JackMidiPort::Link::refused:
            return "the JACK server refused the connection";
        case JackMidiPort::Link::notCarried:
            return "the JACK server accepted the connection but did not carry it within " +
                   std::to_string(kConnectBound.count()) + " s";
        case JackMidiPort::Link::serverGone:
            return "the JACK server shut down";
    }
    return {};
}

// Makes a port of ours with `make` and connects it with `port`; null when any step fails,
// with the step's cause noted so the front ends can say more than that it failed.
template <class Make>
auto openLinked(JackSession& session, const PortEntry& port, bool output, PortNotes* notes,
                Make make) -> decltype(make(session.client(), std::declval<std::string&>())) {
    const auto failed = [&](const std::string& cause) {
        if (notes) {
            notes->note(output,
                        std::string(output ? "MIDI Out" : "MIDI In") + " \"" + port.name + "\" (" +
                            port.address + ") cannot be opened: " + cause + ".",
                        true);
        }
        return nullptr;
    };
    std::string why;
    std::shared_ptr<JackClient> client = session.client(&why);
    if (!client) return failed(why);
    auto midi = make(std::move(client), why);
    if (!midi) return failed(why);
    const JackMidiPort::Link link = midi->connect(port.address, kConnectBound);
    if (link != JackMidiPort::Link::carried) return failed(linkCause(link));
    if (notes) notes->clear(output);
    return midi;
}

}  // namespace

std::vector<PortEntry> JackOutputBackend::ports() {
    return session_.ports(true);
}

std::unique_ptr<OutputConnection> JackOutputBackend::open(const PortEntry& port) {
    std::unique_ptr<JackMidiOut> midi = openLinked(
        session_, port, true, notes_, [](std::shared_ptr<JackClient> client, std::string& why) {
            return JackMidiOut::open(std::move(client), why);
        });
    if (!midi) return nullptr;
    return std::make_unique<JackOutput>(std::move(midi));
}

std::vector<PortEntry> JackInputBackend::ports() {
    return session_.ports(false);
}

std::unique_ptr<InputConnection> JackInputBackend::open(const PortEntry& port,
                                                        SysexReceiver& receiver) {
    auto input = std::make_unique<JackInput>(std::make_unique<SysexRecorder>(receiver));
    SysexRecorder& recorder = input->recorder();
    std::unique_ptr<JackMidiIn> midi =
        openLinked(session_, port, false, notes_,
                   [&recorder](std::shared_ptr<JackClient> client, std::string& why) {
                       return JackMidiIn::open(
                           std::move(client),
                           [&recorder](const std::uint8_t* bytes, std::size_t count) {
                               recorder.feed(bytes, count);
                           },
                           why, [&recorder] { recorder.inputEnded(); });
                   });
    if (!midi) return nullptr;
    input->attach(std::move(midi));
    return input;
}

}  // namespace pxr9
