#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <thread>

#include "midi/backends/blocking_sender.h"
#include "midi/backends/stream_connections.h"
#include "midi/backends/stream_reader.h"
#include "pipe_stream.h"
#include "recorder_fixture.h"

namespace pxr9 {
namespace {

using test::Bytes;
using test::join;
using test::PipeSink;
using test::PipeSource;
using test::ReturnLog;
using test::sysex;

struct Pipe {
    Pipe() { EXPECT_EQ(::pipe(fds), 0); }
    int fds[2] = {-1, -1};
};

void writeAll(int fd, const Bytes& bytes) {
    std::size_t at = 0;
    while (at < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + at, bytes.size() - at);
        ASSERT_GT(n, 0);
        at += static_cast<std::size_t>(n);
    }
}

// Output through a pipe into input: the path a rawmidi port pair takes, minus the hardware.
TEST(StreamConnections, MessagesCrossAPipeWholeAndInOrder) {
    Pipe pipe;
    ReturnLog log;
    SysexRecorder recorder(7, &ReturnLog::onInput, &log);
    log.recorder = &recorder;
    StreamInput input(std::make_unique<PipeSource>(pipe.fds[0]), recorder);
    StreamOutput output(std::make_unique<PipeSink>(pipe.fds[1]));
    ASSERT_EQ(recorder.lend(log.header()), kMidiOk);
    recorder.start();
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
    recorder.stop();
}

TEST(StreamReader, StopsWhileWaitingAndStartsAgain) {
    Pipe pipe;
    ReturnLog log;
    SysexRecorder recorder(7, &ReturnLog::onInput, &log);
    log.recorder = &recorder;
    PipeSource source(pipe.fds[0]);
    StreamReader reader(source, recorder);
    ASSERT_EQ(recorder.lend(log.header()), kMidiOk);
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
    ReturnLog log;
    SysexRecorder recorder(7, &ReturnLog::onInput, &log);
    log.recorder = &recorder;
    PipeSource source(pipe.fds[0]);
    StreamReader reader(source, recorder);
    ASSERT_EQ(recorder.lend(log.header()), kMidiOk);
    recorder.start();
    ASSERT_TRUE(reader.start());
    const Bytes message = sysex(64);
    writeAll(pipe.fds[1], message);
    ::close(pipe.fds[1]);  // unplugged: the bytes before it still count
    ASSERT_TRUE(log.waitFor(1));
    EXPECT_EQ(log.messages(), std::vector<Bytes>{message});
    reader.stop();  // joins a thread that has already ended
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
    int drain() override {
        std::lock_guard lock(mutex);
        calls.push_back({true, {}});
        return drainResult;
    }

    std::mutex mutex;
    std::vector<Call> calls;
    std::size_t perWrite = 5;
    bool yieldAfterWrite = false;
    bool interruptNext = false;
    int failAfter = -1;  // writes that succeed before failWith is returned; -1 = never
    long failWith = -EIO;
    int drainResult = 0;
};

TEST(BlockingSender, WritesEveryByteThenDrainsOnce) {
    TrickleSink sink;
    sink.interruptNext = true;  // an interrupted write is tried again
    BlockingSender sender(sink);
    const Bytes message = sysex(23);
    ASSERT_TRUE(sender.send(message.data(), message.size()));

    Bytes written;
    for (std::size_t i = 0; i + 1 < sink.calls.size(); ++i) {
        ASSERT_FALSE(sink.calls[i].drain) << "drained before the last write";
        written.insert(written.end(), sink.calls[i].bytes.begin(), sink.calls[i].bytes.end());
    }
    EXPECT_EQ(written, message);
    ASSERT_FALSE(sink.calls.empty());
    EXPECT_TRUE(sink.calls.back().drain);
}

TEST(BlockingSender, ReportsASinkThatFails) {
    struct Case {
        const char* what;
        int failAfter;
        long failWith;
        int drainResult;
    };
    const Case cases[] = {
        {"write error at once", 0, -EIO, 0},
        {"device gone half-way", 2, -ENODEV, 0},
        {"a write that takes nothing (would loop for ever)", 1, 0, 0},
        {"drain error", -1, 0, -EIO},
    };
    for (const Case& c : cases) {
        TrickleSink sink;
        sink.failAfter = c.failAfter;
        sink.failWith = c.failWith;
        sink.drainResult = c.drainResult;
        BlockingSender sender(sink);
        const Bytes message = sysex(40);
        EXPECT_FALSE(sender.send(message.data(), message.size())) << c.what;
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

}  // namespace
}  // namespace pxr9
