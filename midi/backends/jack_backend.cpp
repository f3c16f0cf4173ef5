#include "midi/backends/jack_backend.h"

#include <rtmidi/RtMidi.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <string>

#include "midi/backends/jack_names.h"
#include "midi/backends/jack_session.h"

namespace pxr9 {

namespace {

const std::string kOutClient = std::string(kOwnJackClientName) + " Out";
const std::string kInClient = std::string(kOwnJackClientName) + " In";

// RtMidi copies each send into a 16 KiB ring and silently drops a message that can never fit
// it; longer messages therefore go out in pieces, which a receiver joins into one SysEx.
constexpr std::size_t kLargestPiece = 8192;

// Finds a port by its full name in the list an RtMidi object sees now.
template <class Midi>
bool findPort(Midi& midi, const std::string& fullName, unsigned& index) {
    const unsigned count = midi.getPortCount();
    for (unsigned i = 0; i < count; ++i) {
        if (midi.getPortName(i) == fullName) {
            index = i;
            return true;
        }
    }
    return false;
}

// RtMidi reports problems through this callback instead of printing them or throwing.
void noteError(RtMidiError::Type, const std::string&, void* failed) {
    static_cast<std::atomic<bool>*>(failed)->store(true);
}

class JackOutput : public OutputConnection {
  public:
    explicit JackOutput(JackSession& session) : session_(session) {}
    ~JackOutput() override {
        if (!midi_) return;
        // RtMidi frees its send ring before it closes its client, while a process callback
        // that found the port still open may be reading it. Close the port first and let
        // that cycle end; later callbacks see the port closed and touch nothing.
        midi_->closePort();
        session_.awaitCycles();
    }

    bool connect(const std::string& fullName) {
        try {
            midi_ = std::make_unique<RtMidiOut>(RtMidi::UNIX_JACK, kOutClient);
            midi_->setErrorCallback(noteError, &failed_);
            unsigned index = 0;
            if (failed_.load() || !findPort(*midi_, fullName, index)) return false;
            midi_->openPort(index, "MIDI Out");
            return !failed_.load() && midi_->isPortOpen();
        } catch (const RtMidiError&) {
            return false;
        }
    }

    bool send(const std::uint8_t* data, std::size_t size) override {
        std::lock_guard lock(mutex_);  // the pieces of two messages must not interleave
        if (cancelled_.load()) return false;
        failed_.store(false);
        for (std::size_t sent = 0; sent < size && !failed_.load();) {
            const std::size_t piece = std::min(kLargestPiece, size - sent);
            // Returns once RtMidi has copied the bytes; it waits for room in its ring.
            midi_->sendMessage(data + sent, piece);
            sent += piece;
        }
        return !failed_.load();
    }
    void cancel() override { cancelled_.store(true); }

  private:
    JackSession& session_;
    std::atomic<bool> cancelled_{false};
    std::atomic<bool> failed_{false};
    std::unique_ptr<RtMidiOut> midi_;  // after failed_: closed while the flag still exists
    std::mutex mutex_;
};

class JackInput : public InputConnection {
  public:
    bool connect(const std::string& fullName, SysexRecorder& recorder) {
        try {
            midi_ = std::make_unique<RtMidiIn>(RtMidi::UNIX_JACK, kInClient);
            midi_->setErrorCallback(noteError, &failed_);
            midi_->ignoreTypes(false, true, true);
            midi_->setCallback(onMessage, &recorder);
            unsigned index = 0;
            if (failed_.load() || !findPort(*midi_, fullName, index)) return false;
            midi_->openPort(index, "MIDI In");
            return !failed_.load() && midi_->isPortOpen();
        } catch (const RtMidiError&) {
            return false;
        }
    }

    // Messages arrive on JACK's thread from the open on; the recorder drops them until it
    // is started and after it is stopped.
    bool start() override { return true; }
    void stop() override {}

  private:
    static void onMessage(double, std::vector<unsigned char>* message, void* recorder) {
        if (message == nullptr || message->empty()) return;
        static_cast<SysexRecorder*>(recorder)->feed(message->data(), message->size());
    }

    std::atomic<bool> failed_{false};
    std::unique_ptr<RtMidiIn> midi_;
};

}  // namespace

std::vector<PortEntry> JackOutputBackend::ports() {
    return session_.ports(true);
}

std::unique_ptr<OutputConnection> JackOutputBackend::open(const PortEntry& port) {
    // Without a server RtMidi would print a warning before its error callback can be set.
    if (!session_.serverRunning()) return nullptr;
    auto output = std::make_unique<JackOutput>(session_);
    if (!output->connect(port.address)) return nullptr;
    session_.awaitNewConnections();
    return output;
}

std::vector<PortEntry> JackInputBackend::ports() {
    return session_.ports(false);
}

std::unique_ptr<InputConnection> JackInputBackend::open(const PortEntry& port,
                                                        SysexRecorder& recorder) {
    if (!session_.serverRunning()) return nullptr;
    auto input = std::make_unique<JackInput>();
    if (!input->connect(port.address, recorder)) return nullptr;
    session_.awaitNewConnections();
    return input;
}

}  // namespace pxr9
