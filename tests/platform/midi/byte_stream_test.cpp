#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <functional>
#include <future>
#include <string>
#include <thread>
#include <utility>

#include "pipe_stream.h"
#include "platform/midi/stream/blocking_sender.h"
#include "platform/midi/stream/stream_connections.h"
#include "platform/midi/stream/stream_reader.h"
#include "recorder_fixture.h"

namespace pxr9::testing {
namespace {

struct Pipe {
    Pipe() { EXPECT_EQ(::pipe(fds), 0); }
    int fds[2] = {-1, -1};
};

// Output through a pipe into input: the path a rawmidi port pair takes, minus the hardware.
TEST(StreamConnections, MessagesCrossAPipeWholeAndInOrder) {
    Pipe pipe;
    ReceivedLog log;
    StreamInput input(std::make_unique<PipeSource>(pipe.fds[0]), log);
    StreamOutput output(std::make_unique<PipeSink>(pipe.fds[1]));
    ASSERT_TRUE(input.start());

    const Bytes a = sysex(4700, 1);
    const Bytes b = sysex(10000, 2);
    const Bytes junk = {0x90, 0x40, 0x7F, 0xF8, 0x11};
    ASSERT_TRUE(output.send(a.data(), a.size()));
    ASSERT_TRUE(output.send(junk.data(), junk.size()));
    ASSERT_TRUE(output.send(b.data(), b.size()));

    ASSERT_TRUE(log.waitFor(3));
    const std::vector<Bytes> expected = {a, Bytes(b.begin(), b.begin() + 8192),
                                         Bytes(b.begin() + 8192, b.end())};
    EXPECT_EQ(log.messages(), expected);
    input.stop();
}

TEST(StreamReader, StopsWhileWaitingAndStartsAgain) {
    Pipe pipe;
    ReceivedLog log;
    SysexRecorder recorder(log);
    PipeSource source(pipe.fds[0]);
    StreamReader reader(source, recorder);
    recorder.start();

    // Nothing arrives: stop must wake the waiting thread rather than wait for bytes.
    ASSERT_TRUE(reader.start());
    reader.stop();

    ASSERT_TRUE(reader.start());
    const Bytes message = sysex(300);
    writeAll(pipe.fds[1], message);
    ASSERT_TRUE(log.waitFor(1));
    EXPECT_EQ(log.messages(), std::vector<Bytes>{message});
    reader.stop();
    ::close(pipe.fds[1]);
}

TEST(StreamReader, EndsByItselfWhenTheSourceEnds) {
    Pipe pipe;
    ReceivedLog log;
    SysexRecorder recorder(log);
    PipeSource source(pipe.fds[0]);
    StreamReader reader(source, recorder);
    recorder.start();
    ASSERT_TRUE(reader.start());
    const Bytes message = sysex(64);
    writeAll(pipe.fds[1], message);
    ::close(pipe.fds[1]);  // unplugged: the bytes before it still count
    // The port hears of the end once, after the message that came before it.
    ASSERT_TRUE(log.waitFor(2));
    reader.stop();  // joins a thread that has already ended
    EXPECT_EQ(log.deliveries(), (std::vector<Bytes>{message, Bytes{}}));
}

// A source whose descriptor reports a hang-up but which yields nothing, as a device that
// vanished may: the reader must end instead of waking for ever.
TEST(StreamReader, EndsWhenItsDescriptorBreaksAndNothingComes) {
    Pipe pipe;
    ::close(pipe.fds[1]);  // the read end now reports POLLHUP for good
    struct SilentSource : ByteSource {
        int fd;
        explicit SilentSource(int f) : fd(f) {}
        std::vector<pollfd> pollDescriptors() override { return {pollfd{fd, POLLIN, 0}}; }
        long readSome(std::uint8_t*, std::size_t) override { return 0; }
    } source(pipe.fds[0]);
    std::promise<void> ended;
    StreamReader reader(
        source, [](const std::uint8_t*, std::size_t) {}, [&ended] { ended.set_value(); });
    ASSERT_TRUE(reader.start());
    ended.get_future().wait();
    reader.stop();
    ::close(pipe.fds[0]);
}

// A sink that takes a few bytes per write and logs every call.
class TrickleSink : public ByteSink {
  public:
    struct Call {
        bool drain;
        Bytes bytes;
    };

    long write(const std::uint8_t* data, std::size_t size) override {
        long taken = 0;
        {
            std::lock_guard lock(mutex);
            if (interruptNext) {
                interruptNext = false;
                return -EINTR;
            }
            if (failAfter == 0) return failWith;
            if (failAfter > 0) --failAfter;
            const std::size_t n = std::min(size, perWrite);
            calls.push_back({false, Bytes(data, data + n)});
            taken = static_cast<long>(n);
        }
        // Gives another sending thread the chance to slip in between two writes.
        if (yieldAfterWrite) std::this_thread::yield();
        return taken;
    }
    std::vector<pollfd> pollDescriptors() override { return {}; }
    int drained() override {
        std::lock_guard lock(mutex);
        calls.push_back({true, {}});
        if (notYetDrained > 0) {
            --notYetDrained;
            return 0;
        }
        return drainResult;
    }
    // Nothing to wait on: ask again at once.
    std::chrono::milliseconds retryAfter() const override { return std::chrono::milliseconds(0); }

    std::mutex mutex;
    std::vector<Call> calls;
    std::size_t perWrite = 5;
    bool yieldAfterWrite = false;
    bool interruptNext = false;
    int failAfter = -1;  // writes that succeed before failWith is returned; -1 = never
    long failWith = -EIO;
    int notYetDrained = 0;  // drained() calls that say "still on its way" first
    int drainResult = 1;
};

TEST(BlockingSender, WritesEveryByteThenWaitsUntilDrained) {
    TrickleSink sink;
    sink.interruptNext = true;  // an interrupted write is tried again
    sink.notYetDrained = 2;
    BlockingSender sender(sink);
    const Bytes message = sysex(23);
    ASSERT_TRUE(sender.send(message.data(), message.size()));

    Bytes written;
    std::size_t i = 0;
    for (; i < sink.calls.size() && !sink.calls[i].drain; ++i) {
        written.insert(written.end(), sink.calls[i].bytes.begin(), sink.calls[i].bytes.end());
    }
    EXPECT_EQ(written, message);
    EXPECT_EQ(sink.calls.size() - i, 3u) << "asked until drained, and no write after that";
}

// Only an error that says the device is gone fails the sends after it; after any other the
// next send tries again.
TEST(BlockingSender, ReportsASinkThatFailsAndStopsOnlyWhenTheDeviceIsGone) {
    struct Case {
        const char* what;
        int failAfter;
        long failWith;
        int drainResult;
        bool gone;
    };
    const Case cases[] = {
        {"write error at once", 0, -EIO, 1, false},
        {"device gone half-way", 2, -ENODEV, 1, true},
        {"no such device at once", 0, -ENXIO, 1, true},
        {"drain error", -1, 0, -EIO, false},
        {"device gone while draining", -1, 0, -ENODEV, true},
    };
    for (const Case& c : cases) {
        TrickleSink sink;
        sink.failAfter = c.failAfter;
        sink.failWith = c.failWith;
        sink.drainResult = c.drainResult;
        BlockingSender sender(sink);
        const Bytes message = sysex(40);
        EXPECT_FALSE(sender.send(message.data(), message.size())) << c.what;
        EXPECT_EQ(sender.deviceGone(), c.gone) << c.what;

        sink.failAfter = -1;
        sink.drainResult = 1;
        const std::size_t callsBefore = sink.calls.size();
        EXPECT_EQ(sender.send(message.data(), message.size()), !c.gone) << c.what;
        if (c.gone) {
            EXPECT_EQ(sink.calls.size(), callsBefore) << c.what << ": the sink was asked again";
        }
    }
}

TEST(BlockingSender, MessagesFromTwoThreadsNeverInterleave) {
    TrickleSink sink;
    sink.perWrite = 3;
    sink.yieldAfterWrite = true;
    BlockingSender sender(sink);
    const Bytes a = sysex(301, 1);
    const Bytes b = sysex(301, 2);
    constexpr int kRounds = 50;
    std::thread other([&] {
        for (int i = 0; i < kRounds; ++i) ASSERT_TRUE(sender.send(b.data(), b.size()));
    });
    for (int i = 0; i < kRounds; ++i) ASSERT_TRUE(sender.send(a.data(), a.size()));
    other.join();

    // Between two drains lies exactly one whole message.
    Bytes current;
    int messages = 0;
    for (const auto& call : sink.calls) {
        if (call.drain) {
            EXPECT_TRUE(current == a || current == b) << "message " << messages << " mixed";
            current.clear();
            ++messages;
        } else {
            current.insert(current.end(), call.bytes.begin(), call.bytes.end());
        }
    }
    EXPECT_EQ(messages, 2 * kRounds);
}

// Time that moves only when the test says so.
struct ManualClock {
    std::atomic<std::int64_t> ms{0};
    BlockingSender::Clock clock() {
        return [this] {
            return std::chrono::steady_clock::time_point(std::chrono::milliseconds(ms.load()));
        };
    }
};

// A pipe's write end that tells when the pipe is full, i.e. when the sender must wait.
class WatchedPipeSink : public PipeSink {
  public:
    using PipeSink::PipeSink;
    long write(const std::uint8_t* data, std::size_t size) override {
        const long n = PipeSink::write(data, size);
        if (n > 0) taken += static_cast<std::size_t>(n);
        if (n == 0 && onFull) onFull();
        return n;
    }
    std::function<void()> onFull;
    std::size_t taken = 0;
};

// Far more than a pipe holds, so that a send into a pipe nobody reads must wait.
const Bytes& hugeMessage() {
    static const Bytes message = sysex(1 << 20, 5);
    return message;
}

// A kernel buffer in front of a device that stops taking bytes and later takes them again:
// whatever the buffer holds goes to the wire once the device takes again.
class StallingSink : public ByteSink {
  public:
    StallingSink(std::size_t capacity, ManualClock& time) : capacity_(capacity), time_(time) {}
    std::vector<pollfd> pollDescriptors() override { return {}; }
    long write(const std::uint8_t* data, std::size_t size) override {
        pass();
        const std::size_t n = std::min(size, capacity_ - held.size());
        if (n == 0) stuck();
        held.insert(held.end(), data, data + n);
        return static_cast<long>(n);
    }
    int drained() override {
        pass();
        if (!held.empty()) stuck();
        return held.empty() ? 1 : 0;
    }
    void drop() override { held.clear(); }
    std::chrono::milliseconds retryAfter() const override { return std::chrono::milliseconds(0); }

    bool stalled = false;
    Bytes held;
    Bytes wire;

  private:
    void pass() {
        if (stalled) return;
        wire.insert(wire.end(), held.begin(), held.end());
        held.clear();
    }
    // Nothing moves while the device is stalled: the sender's bound runs out.
    void stuck() {
        if (stalled) time_.ms += 10001;
    }

    const std::size_t capacity_;
    ManualClock& time_;
};

// A send that ran out of time takes its bytes back, so the resend is the only copy the device
// ever gets, whether the stall caught the message while it was written or while it drained.
TEST(BlockingSender, ASendThatTimedOutIsTakenBackAndTheResendArrivesOnce) {
    struct Case {
        const char* what;
        std::size_t capacity;
    };
    const Case cases[] = {
        {"stalled with part of the message written", 1000},
        {"stalled with the whole message in the buffer", 64 * 1024},
    };
    const Bytes block = sysex(4700, 3);
    const Bytes next = sysex(30, 4);
    for (const Case& c : cases) {
        ManualClock time;
        StallingSink sink(c.capacity, time);
        BlockingSender sender(sink, std::chrono::milliseconds(10000), time.clock());
        sink.stalled = true;
        EXPECT_FALSE(sender.send(block.data(), block.size())) << c.what;
        EXPECT_FALSE(sender.deviceGone()) << c.what;
        sink.stalled = false;
        EXPECT_TRUE(sender.send(block.data(), block.size())) << c.what;
        EXPECT_TRUE(sender.send(next.data(), next.size())) << c.what;
        EXPECT_EQ(sink.wire, join({block, next})) << c.what;
    }
}

TEST(BlockingSender, ASendNobodyTakesFailsAtTheBound) {
    Pipe pipe;
    ManualClock time;
    WatchedPipeSink sink(pipe.fds[1]);
    // The pipe stays full while time runs past the bound.
    sink.onFull = [&time] { time.ms += 10001; };
    BlockingSender sender(sink, std::chrono::milliseconds(10000), time.clock());
    EXPECT_FALSE(sender.send(hugeMessage().data(), hugeMessage().size()));
    EXPECT_GT(sink.taken, 0u);
    EXPECT_LT(sink.taken, hugeMessage().size());
    ::close(pipe.fds[0]);
}

TEST(BlockingSender, WaitsForAReaderAsLongAsTheBoundAllows) {
    Pipe pipe;
    ManualClock time;  // never moves: only the reader can end the waits
    PipeSink sink(pipe.fds[1]);
    BlockingSender sender(sink, std::chrono::milliseconds(10000), time.clock());
    Bytes received;
    std::thread reader([&] {
        std::vector<std::uint8_t> chunk(4096);
        while (received.size() < hugeMessage().size()) {
            const ssize_t n = ::read(pipe.fds[0], chunk.data(), chunk.size());
            if (n <= 0) return;
            received.insert(received.end(), chunk.begin(), chunk.begin() + n);
        }
    });
    EXPECT_TRUE(sender.send(hugeMessage().data(), hugeMessage().size()));
    reader.join();
    EXPECT_EQ(received, hugeMessage());
    ::close(pipe.fds[0]);
}

TEST(BlockingSender, CancelEndsAWaitingSendAndEveryLaterOne) {
    Pipe pipe;
    ManualClock time;  // never moves: only cancel can end the wait
    WatchedPipeSink sink(pipe.fds[1]);
    std::promise<void> full;
    bool told = false;
    sink.onFull = [&] {
        if (!std::exchange(told, true)) full.set_value();
    };
    BlockingSender sender(sink, std::chrono::milliseconds(10000), time.clock());
    std::future<bool> stuck = std::async(std::launch::async, [&] {
        return sender.send(hugeMessage().data(), hugeMessage().size());
    });
    full.get_future().wait();
    sender.cancel();
    EXPECT_FALSE(stuck.get());

    // Room again in the pipe, yet nothing more is sent.
    std::vector<std::uint8_t> drainPipe(1 << 17);
    ::fcntl(pipe.fds[0], F_SETFL, O_NONBLOCK);
    while (::read(pipe.fds[0], drainPipe.data(), drainPipe.size()) > 0) {
    }
    const std::size_t before = sink.taken;
    const Bytes small = sysex(10);
    EXPECT_FALSE(sender.send(small.data(), small.size()));
    EXPECT_EQ(sink.taken, before);
    ::close(pipe.fds[0]);
}

TEST(BlockingSender, CancelAlsoEndsASendWaitingForTheOneInProgress) {
    Pipe pipe;
    ManualClock time;
    WatchedPipeSink sink(pipe.fds[1]);
    std::promise<void> full;
    bool told = false;
    sink.onFull = [&] {
        if (!std::exchange(told, true)) full.set_value();
    };
    BlockingSender sender(sink, std::chrono::milliseconds(10000), time.clock());
    std::future<bool> first = std::async(std::launch::async, [&] {
        return sender.send(hugeMessage().data(), hugeMessage().size());
    });
    full.get_future().wait();
    std::future<bool> second = std::async(std::launch::async, [&] {
        const Bytes small = sysex(10);
        return sender.send(small.data(), small.size());
    });
    sender.cancel();
    EXPECT_FALSE(first.get());
    EXPECT_FALSE(second.get());
    ::close(pipe.fds[0]);
}

}  // namespace
}  // namespace pxr9::testing
