#include "platform/midi/stream/sysex_recorder.h"

#include <gtest/gtest.h>

#include "recorder_fixture.h"

namespace pxr9 {
namespace {

using test::Bytes;
using test::join;
using test::ReturnLog;
using test::sysex;

constexpr MidiHandle kHandle = 42;

class SysexRecorderTest : public ::testing::Test {
  protected:
    SysexRecorderTest() : recorder(kHandle, &ReturnLog::onInput, &log) {
        log.recorder = &recorder;
        recorder.start();
    }

    ReturnLog log;
    SysexRecorder recorder;
};

struct StreamCase {
    const char* what;
    Bytes stream;
    std::vector<Bytes> returns;
};

const Bytes k4700 = sysex(4700);
const Bytes k10000 = sysex(10000, 3);
const Bytes k8192 = sysex(8192, 5);
const Bytes k8193 = sysex(8193, 7);

std::vector<StreamCase> streamCases() {
    return {
        {"a 4,700-byte message comes back whole", k4700, {k4700}},
        {"a 10,000-byte message comes back as 8192 bytes and the rest",
         k10000,
         {Bytes(k10000.begin(), k10000.begin() + 8192),
          Bytes(k10000.begin() + 8192, k10000.end())}},
        {"exactly 8192 bytes fit one return", k8192, {k8192}},
        {"one byte more leaves its F7 for the next buffer",
         k8193,
         {Bytes(k8193.begin(), k8193.begin() + 8192), Bytes{0xF7}}},
        {"junk between messages is dropped",
         join({{0x12, 0x90, 0x40, 0x7F, 0xF7, 0xC0, 0x05},
               sysex(6, 1),
               {0xF8, 0x33, 0xB0},
               sysex(9, 2),
               {0x7F}}),
         {sysex(6, 1), sysex(9, 2)}},
        {"real-time bytes inside a message are dropped, the message goes on",
         {0xF0, 0x01, 0xF8, 0x02, 0xFE, 0xFF, 0x03, 0xF7},
         {{0xF0, 0x01, 0x02, 0x03, 0xF7}}},
        {"another status byte cuts a message short: it is discarded",
         join({{0xF0, 0x01, 0x02, 0x90, 0x40, 0x7F}, sysex(5, 4)}),
         {sysex(5, 4)}},
        {"a new start discards the unterminated message before it",
         {0xF0, 0x01, 0x02, 0xF0, 0x03, 0xF7},
         {{0xF0, 0x03, 0xF7}}},
        {"the shortest message", {0xF0, 0xF7}, {{0xF0, 0xF7}}},
        {"the rest of a message cut short is not a message of its own",
         join({{0xF0, 0x01, 0xF1, 0x02, 0x03, 0xF7}, sysex(4, 9)}),
         {sysex(4, 9)}},
    };
}

TEST_F(SysexRecorderTest, StreamsBecomeReturnsWhateverTheReadSizes) {
    for (const StreamCase& c : streamCases()) {
        for (const std::size_t chunk : {std::size_t{1}, std::size_t{7}, std::size_t{100000}}) {
            ReturnLog caseLog;
            SysexRecorder caseRecorder(kHandle, &ReturnLog::onInput, &caseLog);
            caseLog.recorder = &caseRecorder;
            caseRecorder.start();
            ASSERT_TRUE(caseRecorder.lend(caseLog.header()));
            for (std::size_t at = 0; at < c.stream.size(); at += chunk) {
                caseRecorder.feed(c.stream.data() + at, std::min(chunk, c.stream.size() - at));
            }
            EXPECT_EQ(caseLog.messages(), c.returns)
                << c.what << ", read " << chunk << " at a time";
            for (const ReturnLog::Return& r : caseLog.returns()) {
                EXPECT_EQ(r.notice, kMimLongData) << c.what;
                EXPECT_EQ(r.handle, kHandle) << c.what;
                EXPECT_TRUE(r.done) << c.what;
            }
        }
    }
}

TEST_F(SysexRecorderTest, WithNoBufferLentAWholeMessageIsDropped) {
    const Bytes first = sysex(20, 1);
    const Bytes second = sysex(30, 2);
    // Lent half-way through the first message: its rest must not be recorded as a message.
    recorder.feed(first.data(), 10);
    ASSERT_TRUE(recorder.lend(log.header()));
    recorder.feed(first.data() + 10, first.size() - 10);
    recorder.feed(second.data(), second.size());
    EXPECT_EQ(log.messages(), std::vector<Bytes>{second});
}

TEST_F(SysexRecorderTest, AFullBufferNotLentAgainDropsTheRestButNotTheNextMessage) {
    log.relend = false;
    ASSERT_TRUE(recorder.lend(log.header()));
    recorder.feed(k10000.data(), k10000.size());
    ASSERT_EQ(log.returns().size(), 1u);
    ASSERT_TRUE(recorder.lend(log.header()));
    recorder.feed(k4700.data(), k4700.size());
    const auto got = log.messages();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].size(), 8192u);
    EXPECT_EQ(got[1], k4700);
}

TEST_F(SysexRecorderTest, ResetHandsEveryLentBufferBackEmpty) {
    ReturnLog second;
    ASSERT_TRUE(recorder.lend(log.header()));
    ASSERT_TRUE(recorder.lend(second.header()));
    const Bytes message = sysex(40);
    recorder.feed(message.data(), 25);  // a message in progress

    recorder.reset();

    const auto returns = log.returns();
    ASSERT_EQ(returns.size(), 2u);
    EXPECT_EQ(returns[0].header, &log.header());
    EXPECT_EQ(returns[1].header, &second.header());
    for (const auto& back : returns) {
        EXPECT_TRUE(back.done);
        EXPECT_TRUE(back.bytes.empty());
        EXPECT_EQ(back.header->bytesRecorded, 0u);
    }
    EXPECT_FALSE(recorder.isLent(log.header()));
    EXPECT_FALSE(recorder.isLent(second.header()));

    // Lent again, the buffer takes the next message, not the rest of the interrupted one.
    ASSERT_TRUE(recorder.lend(log.header()));
    recorder.feed(message.data() + 25, message.size() - 25);
    const Bytes next = sysex(7, 1);
    recorder.feed(next.data(), next.size());
    EXPECT_EQ(log.messages().back(), next);
    EXPECT_EQ(log.returns().size(), 3u);
}

TEST_F(SysexRecorderTest, StoppedRecorderDropsBytesAndStartsAfresh) {
    ASSERT_TRUE(recorder.lend(log.header()));
    const Bytes message = sysex(50);
    recorder.feed(message.data(), 20);
    recorder.stop();
    recorder.feed(message.data() + 20, message.size() - 20);  // dropped: stopped
    EXPECT_TRUE(log.returns().empty());
    EXPECT_TRUE(recorder.isLent(log.header()));  // stop keeps the buffer lent

    recorder.start();
    recorder.feed(message.data() + 20, message.size() - 20);  // a tail: no message
    recorder.feed(message.data(), message.size());
    EXPECT_EQ(log.messages(), std::vector<Bytes>{message});
}

TEST_F(SysexRecorderTest, RefusesUnusableOrDoublyLentBuffers) {
    MidiHeader empty;
    EXPECT_FALSE(recorder.lend(empty));
    ASSERT_TRUE(recorder.lend(log.header()));
    EXPECT_FALSE(recorder.lend(log.header()));
    // A lent buffer starts clean, whatever an earlier return left in it.
    EXPECT_EQ(log.header().flags.load() & kHeaderDone, 0u);
    EXPECT_EQ(log.header().bytesRecorded, 0u);
}

}  // namespace
}  // namespace pxr9
