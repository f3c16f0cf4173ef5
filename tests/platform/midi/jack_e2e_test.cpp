#include <gtest/gtest.h>
#include <jack/jack.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

#include "midi/midi_out_port.h"
#include "platform/midi/alsa/rawmidi_backend.h"
#include "platform/midi/jack/jack_backend.h"
#include "platform/midi/jack/jack_client.h"
#include "platform/midi/jack/jack_midi_in.h"
#include "platform/midi/jack/jack_midi_out.h"
#include "platform/midi/jack/jack_session.h"
#include "platform/midi/port_notes.h"
#include "platform/midi/system_midi_services.h"
#include "recorder_fixture.h"

namespace pxr9::testing {
namespace {

// The private server ctest started for these tests (JACK_DEFAULT_SERVER names it). Without it
// the tests fail: they never pass by skipping.
std::string serverNamed() {
    const char* name = std::getenv("JACK_DEFAULT_SERVER");
    return std::string("JACK server \"") + (name ? name : "") + "\": ";
}

// An input on `client` that appends every byte it receives to `into` under `mutex`, and tells
// `arrived` each time.
template <class Container>
std::unique_ptr<JackMidiIn> openCollectingInput(std::shared_ptr<JackClient> client,
                                                std::mutex& mutex, Container& into,
                                                std::condition_variable& arrived,
                                                std::string& why) {
    return JackMidiIn::open(
        std::move(client),
        [&mutex, &into, &arrived](const std::uint8_t* bytes, std::size_t count) {
            {
                std::lock_guard lock(mutex);
                into.insert(into.end(), bytes, bytes + count);
            }
            arrived.notify_all();
        },
        why);
}

// A stand-in device: an input and an output port named like the device's (on two clients, as
// one client's ports have names of their own), sending back every message it receives.
class EchoDevice {
  public:
    explicit EchoDevice(const std::string& portName) {
        std::string why;
        if (auto client = JackClient::openWithPort("pxr9-test-device out", portName, true, why)) {
            out_ = JackMidiOut::open(std::move(client), why);
        }
        auto client = JackClient::openWithPort("pxr9-test-device in", portName, false, why);
        if (client) in_ = openCollectingInput(std::move(client), mutex_, received_, changed_, why);
        EXPECT_TRUE(out_ && in_) << serverNamed() << why;
        thread_ = std::thread([this] { echo(); });
    }
    ~EchoDevice() {
        in_.reset();
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        changed_.notify_one();
        if (thread_.joinable()) thread_.join();
    }
    bool ready() const { return in_ && out_; }

  private:
    // Sends back each complete SysEx.
    void echo() {
        std::unique_lock lock(mutex_);
        while (true) {
            changed_.wait(lock, [&] { return stopping_ || !received_.empty(); });
            if (stopping_) return;
            Bytes bytes(received_.begin(), received_.end());
            received_.clear();
            lock.unlock();
            for (std::uint8_t byte : bytes) {
                pending_.push_back(byte);
                if (byte == 0xF7) {
                    out_->send(pending_.data(), pending_.size());
                    pending_.clear();
                }
            }
            lock.lock();
        }
    }

    std::unique_ptr<JackMidiOut> out_;
    std::unique_ptr<JackMidiIn> in_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::uint8_t> received_;
    Bytes pending_;
    bool stopping_ = false;
    std::thread thread_;
};

int findDevice(PortList& list, const std::string& wanted) {
    const int count = list.count();
    int found = -1;
    for (int i = 0; i < count; ++i) {
        std::string name;
        if (list.name(i, name) && name == wanted) found = i;
    }
    return found;
}

TEST(JackEndToEnd, MessagesSentThroughOurOutputArriveWholeThroughOurInput) {
    EchoDevice device("KEVO PXR-9");
    ASSERT_TRUE(device.ready());
    SystemMidiServices services;
    const int outIndex = findDevice(services.outputs(), "KEVO PXR-9");
    const int inIndex = findDevice(services.inputs(), "KEVO PXR-9");
    ASSERT_GE(outIndex, 0);
    ASSERT_GE(inIndex, 0);
    const int outCount = services.outputs().count();
    const int inCount = services.inputs().count();

    MidiOutPort out(services.outputs());
    ASSERT_TRUE(out.open(outIndex));
    ReceivedLog log;
    const auto listed = services.inputs().find(inIndex);
    ASSERT_TRUE(listed);
    std::unique_ptr<InputConnection> in = listed->backend->open(listed->port, log);
    ASSERT_TRUE(in && in->start());

    // Our own open ports are not offered as devices, so no number has moved.
    EXPECT_EQ(services.outputs().count(), outCount);
    EXPECT_EQ(services.inputs().count(), inCount);
    EXPECT_EQ(findDevice(services.outputs(), "KEVO PXR-9"), outIndex);
    EXPECT_EQ(findDevice(services.inputs(), "KEVO PXR-9"), inIndex);

    const Bytes message = sysex(4700, 1);
    ASSERT_TRUE(out.send(message.data(), message.size()));
    ASSERT_TRUE(log.waitFor(1));
    EXPECT_EQ(log.messages(), std::vector<Bytes>{message});

    // A burst arrives whole and in order: each message is one event, never cut or joined.
    std::vector<Bytes> sent{message};
    for (std::uint8_t seed = 2; seed < 22; ++seed) {
        sent.push_back(sysex(seed % 2 ? 7 : 4700, seed));
        ASSERT_TRUE(out.send(sent.back().data(), sent.back().size()));
    }
    ASSERT_TRUE(log.waitFor(sent.size()));
    EXPECT_EQ(log.messages(), sent);

    // Longer than any message the updater sends: refused, not cut into pieces.
    const Bytes longer = sysex(JackMidiOut::kLargestMessage + 1, 2);
    EXPECT_FALSE(out.send(longer.data(), longer.size()));

    in->stop();
    in.reset();
    out.close();
}

// The full names every port of `client` whose name matches `pattern` is connected to.
std::vector<std::string> connectionsOf(jack_client_t* client, const char* pattern) {
    std::vector<std::string> found;
    const char** ports = jack_get_ports(client, pattern, JACK_DEFAULT_MIDI_TYPE, 0);
    for (const char** p = ports; p != nullptr && *p != nullptr; ++p) {
        const char** to = jack_port_get_all_connections(client, jack_port_by_name(client, *p));
        for (const char** t = to; t != nullptr && *t != nullptr; ++t) found.emplace_back(*t);
        if (to != nullptr) jack_free(to);
    }
    if (ports != nullptr) jack_free(ports);
    return found;
}

// Other programs open and close ports all the time (twenty updaters starting at once): a port
// opened by name is connected to that port and no neighbour, however the list shifts meanwhile.
TEST(JackEndToEnd, APortOpenedByNameIsConnectedToItWhileOtherPortsComeAndGo) {
    jack_client_t* other = jack_client_open("pxr9-test-target", JackNoStartServer, nullptr);
    ASSERT_NE(other, nullptr) << serverNamed() << "no client";
    for (const char* name : {"target", "next"}) {
        ASSERT_NE(jack_port_register(other, name, JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0),
                  nullptr);
    }
    ASSERT_NE(jack_port_register(other, "feed", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0),
              nullptr);
    ASSERT_EQ(jack_activate(other), 0);
    const std::string own = std::string(jack_get_client_name(other));
    // Ports come and go, and connections are made and broken, which has the server recompute
    // latencies on every active client, ours among them. The ports come and go on a client
    // that is never activated, as libjack needs (see JackClient).
    jack_client_t* coming = jack_client_open("pxr9-test-churn", JackNoStartServer, nullptr);
    ASSERT_NE(coming, nullptr) << serverNamed() << "no client";
    std::atomic<bool> stop{false};
    std::thread churn([&] {
        const std::string feed = own + ":feed";
        const std::string next = own + ":next";
        while (!stop.load()) {
            jack_port_t* port =
                jack_port_register(coming, "a", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
            jack_connect(other, feed.c_str(), next.c_str());
            if (port != nullptr) jack_port_unregister(coming, port);
            jack_disconnect(other, feed.c_str(), next.c_str());
        }
    });

    JackSession session;
    JackOutputBackend backend(session);
    int opened = 0;
    std::vector<std::string> wrong;
    for (int i = 0; i < 50; ++i) {
        const auto out = backend.open({"target", own + ":target"});
        if (!out) continue;
        ++opened;
        for (const std::string& to : connectionsOf(other, "^PXR-9 Updater")) {
            if (to != own + ":target") wrong.push_back(to);
        }
    }
    stop.store(true);
    churn.join();
    jack_client_close(coming);
    jack_deactivate(other);
    jack_client_close(other);
    EXPECT_EQ(opened, 50);
    EXPECT_TRUE(wrong.empty()) << wrong.size() << " opens connected elsewhere, e.g. " << wrong[0];
}

TEST(JackEndToEnd, APortThatWentAwayFailsToOpen) {
    SystemMidiServices services;
    int index = -1;
    {
        EchoDevice device("KEVO PXR-9 (2)");
        ASSERT_TRUE(device.ready());
        index = findDevice(services.outputs(), "KEVO PXR-9 (2)");
        ASSERT_GE(index, 0);
    }
    MidiOutPort out(services.outputs());
    EXPECT_FALSE(out.open(index));
    // The cause is named for the front ends to show.
    const std::string cause = services.portNotes().takeFailure(true);
    EXPECT_NE(cause.find("MIDI Out \"KEVO PXR-9 (2)\""), std::string::npos) << cause;
    EXPECT_NE(cause.find("cannot be opened: the JACK server refused the connection."),
              std::string::npos)
        << cause;
}

// Whatever arrives at an input port of a client of its own, byte by byte.
class Collector {
  public:
    explicit Collector(const std::string& clientName) {
        std::string why;
        if (auto client = JackClient::openWithPort(clientName, "in", false, why)) {
            in_ = openCollectingInput(std::move(client), mutex_, bytes_, arrived_, why);
        }
        EXPECT_TRUE(in_) << serverNamed() << why;
    }
    ~Collector() { in_.reset(); }  // before what its thread delivers into
    bool ready() const { return in_ != nullptr; }
    // Waits until `count` bytes have come; the deadline only guards against a hang.
    bool waitFor(std::size_t count) {
        std::unique_lock lock(mutex_);
        return arrived_.wait_for(lock, std::chrono::seconds(20),
                                 [&] { return bytes_.size() >= count; });
    }
    Bytes bytes() {
        std::lock_guard lock(mutex_);
        return bytes_;
    }

  private:
    std::unique_ptr<JackMidiIn> in_;
    std::mutex mutex_;
    std::condition_variable arrived_;
    Bytes bytes_;
};

// The first data byte of each message: which of the test's messages came, in order.
std::vector<int> seedsOf(const Bytes& bytes) {
    std::vector<int> seeds;
    for (std::size_t i = 0; i + 1 < bytes.size(); ++i) {
        if (bytes[i] == 0xF0) seeds.push_back(bytes[i + 1]);
    }
    return seeds;
}

pid_t serverPid() {
    std::ifstream in(PXR9_JACK_PID_FILE);
    pid_t pid = 0;
    in >> pid;
    return pid;
}

// Holds the server stopped until it goes out of scope, however the test leaves it.
class ServerStopped {
  public:
    explicit ServerStopped(pid_t pid) : pid_(pid), stopped_(::kill(pid, SIGSTOP) == 0) {}
    ~ServerStopped() {
        if (stopped_) ::kill(pid_, SIGCONT);
    }
    ServerStopped(const ServerStopped&) = delete;
    ServerStopped& operator=(const ServerStopped&) = delete;
    bool stopped() const { return stopped_; }

  private:
    const pid_t pid_;
    const bool stopped_;
};

// A link that stalls past a send's bound and then resumes: the send that gave up took its
// message back, so the device gets the resend and no second copy. The server is stopped to
// stall the link; at most the cycle under way still takes data.
TEST(JackEndToEnd, ALinkThatStallsAndResumesDeliversTheResendOnce) {
    const pid_t server = serverPid();
    ASSERT_GT(server, 0) << "no pid of the test's JACK server";
    Collector device("pxr9-test-stalled device");
    ASSERT_TRUE(device.ready());
    std::string why;
    auto client = JackClient::openWithPort("pxr9-test-stalled sender", "out", true, why);
    ASSERT_NE(client, nullptr) << serverNamed() << why;
    // Short, so that the stalled send gives up soon.
    auto out = JackMidiOut::open(client, why, std::chrono::milliseconds(200));
    ASSERT_NE(out, nullptr) << why;
    const std::vector<std::string> theirs = client->midiPorts(true);
    std::string deviceIn;
    for (const std::string& name : theirs) {
        if (name.find("pxr9-test-stalled device") == 0) deviceIn = name;
    }
    ASSERT_EQ(out->connect(deviceIn, std::chrono::seconds(10)), JackMidiPort::Link::carried);

    // On a busy machine a cycle may come later than the bound: a try that gives up takes its
    // copy back, so trying again never doubles a message.
    const auto sendUntilTaken = [&](const Bytes& message) {
        for (int i = 0; i < 100; ++i) {
            if (out->send(message.data(), message.size())) return true;
        }
        return false;
    };
    Bytes expected = sysex(4700, 1);
    ASSERT_TRUE(sendUntilTaken(expected));
    Bytes stuck;
    {
        const ServerStopped stopped(server);
        ASSERT_TRUE(stopped.stopped());
        for (std::uint8_t seed = 2; seed < 12 && stuck.empty(); ++seed) {
            const Bytes message = sysex(4700, seed);
            if (out->send(message.data(), message.size())) {
                expected.insert(expected.end(), message.begin(), message.end());
            } else {
                stuck = message;
            }
        }
        ASSERT_FALSE(stuck.empty()) << "every send went through a stopped server";
    }
    ASSERT_TRUE(sendUntilTaken(stuck));
    const Bytes last = sysex(7, 99);
    ASSERT_TRUE(sendUntilTaken(last));
    expected.insert(expected.end(), stuck.begin(), stuck.end());
    expected.insert(expected.end(), last.begin(), last.end());

    ASSERT_TRUE(device.waitFor(expected.size()));
    const Bytes received = device.bytes();
    EXPECT_EQ(seedsOf(received), seedsOf(expected));
    EXPECT_TRUE(received == expected) << received.size() << " bytes for " << expected.size();
}

// The device's program ends or stops, or someone breaks our connections: the input ends,
// told once, and the output says the device is gone and fails every send from then on.
TEST(JackEndToEnd, APeerThatGoesAwayEndsTheInputOnceAndTheOutputIsGone) {
    enum class Way { clientClosed, clientDeactivated, disconnectedByAnother };
    struct Case {
        const char* what;
        Way way;
    };
    const Case cases[] = {
        {"its client closed", Way::clientClosed},
        {"its client deactivated", Way::clientDeactivated},
        {"disconnected by another program", Way::disconnectedByAnother},
    };
    JackSession session;
    PortNotes notes;
    JackOutputBackend outputs(session, &notes);
    JackInputBackend inputs(session, &notes);
    for (const Case& c : cases) {
        jack_client_t* peer = jack_client_open("pxr9-test-peer", JackNoStartServer, nullptr);
        ASSERT_NE(peer, nullptr) << serverNamed() << "no client";
        jack_port_t* to =
            jack_port_register(peer, "to", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
        jack_port_t* from =
            jack_port_register(peer, "from", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
        ASSERT_TRUE(to && from);
        ASSERT_EQ(jack_activate(peer), 0);
        const std::string name = jack_get_client_name(peer);

        ReceivedLog log;
        std::unique_ptr<OutputConnection> output = outputs.open({"to", name + ":to"});
        std::unique_ptr<InputConnection> input = inputs.open({"from", name + ":from"}, log);
        ASSERT_TRUE(output && input)
            << c.what << ": " << notes.takeFailure(true) << notes.takeFailure(false);
        ASSERT_TRUE(input->start()) << c.what;
        EXPECT_FALSE(output->deviceGone()) << c.what;

        switch (c.way) {
            case Way::clientClosed:
                jack_client_close(std::exchange(peer, nullptr));
                break;
            case Way::clientDeactivated:
                jack_deactivate(peer);
                break;
            case Way::disconnectedByAnother:
                jack_port_disconnect(peer, to);
                jack_port_disconnect(peer, from);
                break;
        }
        ASSERT_TRUE(log.waitFor(1)) << c.what << ": the input did not end";
        // Each send waits for a cycle: the loss shows in a cycle's graph, not after a time.
        const Bytes message = sysex(10);
        for (int i = 0; i < 1000 && output->send(message.data(), message.size()); ++i) {
        }
        EXPECT_TRUE(output->deviceGone()) << c.what;
        EXPECT_FALSE(output->send(message.data(), message.size())) << c.what;

        input.reset();  // nothing is delivered after this: the count below is final
        EXPECT_EQ(log.endings(), 1u) << c.what;
        EXPECT_EQ(log.messages().size(), 0u) << c.what;
        output.reset();
        if (peer != nullptr) jack_client_close(peer);
    }
}

// The program's watch hears of a port of another program coming and going: after each call,
// the lists taken afresh show what the server has.
TEST(JackEndToEnd, TheWatchTellsOfPortsOfOtherProgramsComingAndGoing) {
    SystemMidiServices services;
    std::mutex mutex;
    std::condition_variable called;
    int calls = 0;
    ASSERT_TRUE(services.portWatch().start([&] {
        {
            std::lock_guard lock(mutex);
            ++calls;
        }
        called.notify_all();
    }));
    auto callsSoFar = [&] {
        std::lock_guard lock(mutex);
        return calls;
    };
    // Waits for calls after the first `before` until, after one, the lists show the peer's
    // port as `present`; false when none came within the guard.
    auto toldOf = [&](int before, const std::string& port, bool present) {
        std::unique_lock lock(mutex);
        for (int seen = before;; seen = calls) {
            if (!called.wait_for(lock, std::chrono::seconds(60), [&] { return calls > seen; }))
                return false;
            lock.unlock();
            const bool listed = findDevice(services.inputs(), port) >= 0;
            lock.lock();
            if (listed == present) return true;
        }
    };

    int before = callsSoFar();
    std::string why;
    auto peer = JackClient::openWithPort("pxr9-test-newcomer", "PXR9 Newcomer", true, why);
    ASSERT_TRUE(peer) << serverNamed() << why;
    EXPECT_TRUE(toldOf(before, "PXR9 Newcomer", true)) << "the new port was not told of";
    before = callsSoFar();
    peer.reset();
    EXPECT_TRUE(toldOf(before, "PXR9 Newcomer", false)) << "the port's end was not told of";
    services.portWatch().stop();
}

// Without a server the JACK side lists nothing, and says nothing about it.
TEST(JackWithoutServer, ContributesNoDevicesAndPrintsNothing) {
    const char* before = std::getenv("JACK_DEFAULT_SERVER");
    const std::string saved = before ? before : "";
    const std::string absent = "pxr9-absent-" + std::to_string(::getpid());
    ::setenv("JACK_DEFAULT_SERVER", absent.c_str(), 1);

    std::fflush(stderr);
    const int savedErr = ::dup(2);
    char path[] = "/tmp/pxr9-backends-stderr-XXXXXX";
    const int capture = ::mkstemp(path);
    ASSERT_GE(capture, 0);
    ::dup2(capture, 2);

    int inCount = -1;
    int outCount = -1;
    bool opened = true;
    {
        SystemMidiServices services;
        inCount = services.inputs().count();
        outCount = services.outputs().count();
        MidiOutPort out(services.outputs());
        opened = out.open(outCount);  // the number after the last port
    }

    std::fflush(stderr);
    ::dup2(savedErr, 2);
    ::close(savedErr);
    const off_t printed = ::lseek(capture, 0, SEEK_END);
    ::close(capture);
    ::unlink(path);
    if (before) {
        ::setenv("JACK_DEFAULT_SERVER", saved.c_str(), 1);
    } else {
        ::unsetenv("JACK_DEFAULT_SERVER");
    }

    EXPECT_EQ(inCount, static_cast<int>(RawMidiInputBackend().ports().size()));
    EXPECT_EQ(outCount, static_cast<int>(RawMidiOutputBackend().ports().size()));
    EXPECT_FALSE(opened);
    EXPECT_EQ(printed, 0) << "something was printed on stderr";
}

}  // namespace
}  // namespace pxr9::testing
