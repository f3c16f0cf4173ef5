#include <fcntl.h>
#include <gtest/gtest.h>
#include <jack/jack.h>
#include <rtmidi/RtMidi.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <string>
#include <thread>

#include "midi/backends/rawmidi_backend.h"
#include "midi/backends/system_midi_services.h"
#include "midi/midi_out_port.h"
#include "recorder_fixture.h"

extern char** environ;

// libjack is not built for ThreadSanitizer: the lock-free ring through which RtMidi hands
// messages to JACK's thread synchronises with barriers the sanitizer cannot see.
extern "C" const char* __tsan_default_suppressions() {
    return "race:jack_ringbuffer_*\n";
}

namespace pxr9 {
namespace {

using test::Bytes;
using test::ReturnLog;
using test::sysex;

void quiet(const char*) {}
void quietRtMidi(RtMidiError::Type, const std::string&, void*) {}

// A private JACK server with the dummy driver, started for this test program only.
class JackServer {
  public:
    static bool start() {
        name_ = "pxr9-backends-" + std::to_string(::getpid());
        ::setenv("JACK_DEFAULT_SERVER", name_.c_str(), 1);
        jack_set_error_function(quiet);
        jack_set_info_function(quiet);

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        std::string args[] = {"jackd", "--no-realtime", "-S", "-n", name_, "-d", "dummy",
                              "-r",    "48000",         "-p", "128"};
        char* argv[std::size(args) + 1] = {};
        for (std::size_t i = 0; i < std::size(args); ++i) argv[i] = args[i].data();
        const int spawned = posix_spawnp(&pid_, "jackd", &actions, nullptr, argv, environ);
        posix_spawn_file_actions_destroy(&actions);
        if (spawned != 0) {
            pid_ = -1;
            return false;
        }
        // Waiting for the server to come up; the deadline only bounds a server that never does.
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (std::chrono::steady_clock::now() < giveUp) {
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return false;
            }
            jack_status_t jackStatus{};
            if (jack_client_t* client =
                    jack_client_open("pxr9-probe", JackNoStartServer, &jackStatus)) {
                jack_client_close(client);
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        stop();
        return false;
    }

    static void stop() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGTERM);
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
    }

  private:
    static inline pid_t pid_ = -1;
    static inline std::string name_;
};

// A stand-in device on its own JACK client: ports named like the device's, which send back
// every message they receive.
class EchoDevice {
  public:
    explicit EchoDevice(const std::string& portName) {
        in_.setErrorCallback(quietRtMidi);
        out_.setErrorCallback(quietRtMidi);
        in_.ignoreTypes(false, true, true);
        in_.setCallback(echo, this);
        in_.openVirtualPort(portName);
        out_.openVirtualPort(portName);
    }

  private:
    static void echo(double, std::vector<unsigned char>* message, void* self) {
        static_cast<EchoDevice*>(self)->out_.sendMessage(message);
    }

    RtMidiOut out_{RtMidi::UNIX_JACK, "pxr9-test-device"};
    RtMidiIn in_{RtMidi::UNIX_JACK, "pxr9-test-device"};
};

int findDevice(MidiDeviceList& list, const std::string& wanted) {
    const int count = list.deviceCount();
    int found = -1;
    for (int i = 0; i < count; ++i) {
        std::string name;
        if (list.deviceName(i, name) && name == wanted) found = i;
    }
    return found;
}

class JackEndToEnd : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { serverUp_ = JackServer::start(); }
    static void TearDownTestSuite() { JackServer::stop(); }

    void SetUp() override {
        if (!serverUp_) GTEST_SKIP() << "jackd could not be started here";
    }

    static inline bool serverUp_ = false;
};

TEST_F(JackEndToEnd, MessagesSentThroughOurOutputArriveWholeThroughOurInput) {
    EchoDevice device("KEVO PXR-9");
    SystemMidiServices services;
    const int outIndex = findDevice(services.out(), "KEVO PXR-9");
    const int inIndex = findDevice(services.in(), "KEVO PXR-9");
    ASSERT_GE(outIndex, 0);
    ASSERT_GE(inIndex, 0);
    const int outCount = services.out().deviceCount();
    const int inCount = services.in().deviceCount();

    MidiOutPort out(services.out());
    ASSERT_EQ(out.open(outIndex), kMidiOk);
    ReturnLog log;
    log.service = &services.in();
    MidiHandle in = 0;
    ASSERT_EQ(services.in().open(in, inIndex, &ReturnLog::onInput, &log), kMidiOk);
    ASSERT_EQ(services.in().prepareHeader(in, log.header()), kMidiOk);
    ASSERT_EQ(services.in().addBuffer(in, log.header()), kMidiOk);
    ASSERT_EQ(services.in().start(in), kMidiOk);

    // Our own open ports are not offered as devices, so no number has moved.
    EXPECT_EQ(services.out().deviceCount(), outCount);
    EXPECT_EQ(services.in().deviceCount(), inCount);
    EXPECT_EQ(findDevice(services.out(), "KEVO PXR-9"), outIndex);
    EXPECT_EQ(findDevice(services.in(), "KEVO PXR-9"), inIndex);

    const Bytes message = sysex(4700, 1);
    ASSERT_EQ(sendSysEx(out, message.data(), static_cast<std::int32_t>(message.size())), 0);
    ASSERT_TRUE(log.waitFor(1));
    EXPECT_EQ(log.messages(), std::vector<Bytes>{message});

    // Longer than one receive buffer: sent in pieces, it still arrives as 8192 and the rest.
    const Bytes longer = sysex(10000, 2);
    ASSERT_EQ(sendSysEx(out, longer.data(), static_cast<std::int32_t>(longer.size())), 0);
    ASSERT_TRUE(log.waitFor(3));
    const auto got = log.messages();
    EXPECT_EQ(got[1], Bytes(longer.begin(), longer.begin() + 8192));
    EXPECT_EQ(got[2], Bytes(longer.begin() + 8192, longer.end()));

    ASSERT_EQ(services.in().stop(in), kMidiOk);
    ASSERT_EQ(services.in().reset(in), kMidiOk);
    EXPECT_EQ(services.in().unprepareHeader(in, log.header()), kMidiOk);
    EXPECT_EQ(services.in().close(in), kMidiOk);
    out.close();
}

TEST_F(JackEndToEnd, APortThatWentAwayFailsToOpen) {
    SystemMidiServices services;
    int index = -1;
    {
        EchoDevice device("KEVO PXR-9 (2)");
        index = findDevice(services.out(), "KEVO PXR-9 (2)");
        ASSERT_GE(index, 0);
    }
    MidiOutPort out(services.out());
    EXPECT_NE(out.open(index), kMidiOk);
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
    int opened = kMidiOk;
    {
        SystemMidiServices services;
        inCount = services.in().deviceCount();
        outCount = services.out().deviceCount();
        MidiHandle handle = 0;
        opened = services.out().open(handle, outCount);  // the number after the last port
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
    EXPECT_NE(opened, kMidiOk);
    EXPECT_EQ(printed, 0) << "something was printed on stderr";
}

}  // namespace
}  // namespace pxr9
