#include "platform/midi/stream/sysex_recorder.h"

#include <gtest/gtest.h>

#include "recorder_fixture.h"

namespace pxr9::testing {
namespace {

class SysexRecorderTest : public ::testing::Test {
  protected:
    SysexRecorderTest() { recorder.start(); }

    ReceivedLog log;
    SysexRecorder recorder{log};
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
        {"a 10,000-byte message comes as 8192 bytes and the rest",
         k10000,
         {Bytes(k10000.begin(), k10000.begin() + 8192),
          Bytes(k10000.begin() + 8192, k10000.end())}},
        {"exactly 8192 bytes fit one piece", k8192, {k8192}},
        {"one byte more leaves its F7 for the next piece",
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

TEST_F(SysexRecorderTest, StreamsBecomeMessagesWhateverTheReadSizes) {
    for (const StreamCase& c : streamCases()) {
        for (const std::size_t chunk : {std::size_t{1}, std::size_t{7}, std::size_t{100000}}) {
            ReceivedLog caseLog;
            SysexRecorder caseRecorder(caseLog);
            caseRecorder.start();
            for (std::size_t at = 0; at < c.stream.size(); at += chunk) {
                caseRecorder.feed(c.stream.data() + at, std::min(chunk, c.stream.size() - at));
            }
            EXPECT_EQ(caseLog.messages(), c.returns)
                << c.what << ", read " << chunk << " at a time";
        }
    }
}

TEST_F(SysexRecorderTest, StoppedRecorderDropsBytesAndStartsAfresh) {
    const Bytes message = sysex(50);
    recorder.feed(message.data(), 20);
    recorder.stop();
    recorder.feed(message.data() + 20, message.size() - 20);  // dropped: stopped
    EXPECT_TRUE(log.messages().empty());

    recorder.start();
    recorder.feed(message.data() + 20, message.size() - 20);  // a tail: no message
    recorder.feed(message.data(), message.size());
    EXPECT_EQ(log.messages(), std::vector<Bytes>{message});
}

TEST_F(SysexRecorderTest, AnEndedInputIsToldOnceAndOnlyWhileRunning) {
    recorder.inputEnded();
    recorder.inputEnded();
    EXPECT_EQ(log.endings(), 1u);

    ReceivedLog stoppedLog;
    SysexRecorder stopped(stoppedLog);
    stopped.inputEnded();
    EXPECT_EQ(stoppedLog.endings(), 0u);
}

}  // namespace
}  // namespace pxr9::testing
