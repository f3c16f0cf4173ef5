#include "midi/midi_out_port.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

#include "tests/doubles/fake_midi_out_service.h"

namespace pxr9 {
namespace {

using test::FakeMidiOutService;
using test::OutOp;

const std::vector<std::uint8_t> kMessage = {0xF0, 0x7E, 0x00, 0x06, 0x01, 0xF7};

std::vector<OutOp> ops(const FakeMidiOutService& service) {
    std::vector<OutOp> result;
    for (const auto& call : service.calls()) result.push_back(call.op);
    return result;
}

class MidiOutPortTest : public ::testing::Test {
  protected:
    FakeMidiOutService service;
    MidiOutPort port{service};
};

TEST_F(MidiOutPortTest, SendHandsTheBytesOverAndReturnsOnceDone) {
    ASSERT_TRUE(port.open(0));
    ASSERT_TRUE(sendSysEx(port, kMessage.data(), static_cast<std::int32_t>(kMessage.size())));

    EXPECT_EQ(ops(service), (std::vector<OutOp>{OutOp::Open, OutOp::Prepare, OutOp::LongMessage,
                                                OutOp::WaitDone, OutOp::Unprepare}));
    EXPECT_EQ(service.sent(), std::vector<std::vector<std::uint8_t>>{kMessage});
    EXPECT_EQ(service.lastWaitBound(), kSendBoundMs);
    EXPECT_EQ(service.preparedHeaders(), 0u);
    const MidiHandle handle = service.calls().front().handle;
    for (const auto& call : service.calls()) EXPECT_EQ(call.handle, handle);
}

TEST_F(MidiOutPortTest, SendsThatCannotLeaveFailWithoutAnyPlatformCall) {
    struct Case {
        const char* name;
        bool open;
        const std::uint8_t* buffer;
        std::int32_t length;
    };
    const Case cases[] = {
        {"closed port", false, kMessage.data(), 6},
        {"no buffer", true, nullptr, 6},
        {"empty message", true, kMessage.data(), 0},
        {"negative length", true, kMessage.data(), -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeMidiOutService fresh;
        MidiOutPort subject(fresh);
        if (c.open) {
            ASSERT_TRUE(subject.open(0));
        }
        fresh.clearCalls();
        EXPECT_FALSE(sendSysEx(subject, c.buffer, c.length));
        EXPECT_TRUE(fresh.calls().empty());
    }
}

TEST_F(MidiOutPortTest, FailedOpenLeavesThePortClosed) {
    service.failNext(OutOp::Open);
    EXPECT_FALSE(port.open(0));
    EXPECT_FALSE(port.isOpen());
    EXPECT_FALSE(sendSysEx(port, kMessage.data(), 6));
    port.close();
    EXPECT_EQ(ops(service), std::vector<OutOp>{OutOp::Open});
}

TEST_F(MidiOutPortTest, NoChoiceInTheListReachesThePlatformAsMinusOne) {
    ASSERT_TRUE(port.open(-1));
    EXPECT_EQ(service.calls().front().deviceIndex, -1);
}

TEST_F(MidiOutPortTest, CloseClosesOnceAndOnlyAnOpenPort) {
    port.close();
    EXPECT_TRUE(service.calls().empty());

    ASSERT_TRUE(port.open(0));
    port.close();
    port.close();
    EXPECT_EQ(service.count(OutOp::Close), 1u);
    EXPECT_EQ(service.openHandles(), 0u);
    EXPECT_FALSE(sendSysEx(port, kMessage.data(), 6));
}

TEST_F(MidiOutPortTest, CloseForgetsTheHandleEvenWhenThePlatformRefuses) {
    ASSERT_TRUE(port.open(0));
    service.failNext(OutOp::Close);
    port.close();
    EXPECT_FALSE(port.isOpen());
    port.close();
    EXPECT_EQ(service.count(OutOp::Close), 1u);
}

TEST_F(MidiOutPortTest, RefusedStepsLeaveNoPreparedHeaderBehind) {
    struct Case {
        OutOp refused;
        std::vector<OutOp> expected;
    };
    const Case cases[] = {
        {OutOp::Prepare, {OutOp::Prepare}},
        {OutOp::LongMessage, {OutOp::Prepare, OutOp::LongMessage, OutOp::Unprepare}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.refused));
        FakeMidiOutService fresh;
        MidiOutPort subject(fresh);
        ASSERT_TRUE(subject.open(0));
        fresh.clearCalls();
        fresh.failNext(c.refused);
        EXPECT_FALSE(sendSysEx(subject, kMessage.data(), 6));
        EXPECT_EQ(ops(fresh), c.expected);
        EXPECT_EQ(fresh.preparedHeaders(), 0u);
        EXPECT_TRUE(fresh.sent().empty());
    }
}

TEST_F(MidiOutPortTest, ASendReturnsWhenThePlatformMarksItDone) {
    ASSERT_TRUE(port.open(0));
    service.completeSendsLater(true);

    std::atomic<bool> sent{false};
    std::thread sender([&] { sent = sendSysEx(port, kMessage.data(), 6); });
    service.waitForPendingSends(1);
    ASSERT_TRUE(service.completeNextSend());  // wakes the waiting sender
    sender.join();

    EXPECT_TRUE(sent);
    EXPECT_EQ(service.preparedHeaders(), 0u);
    EXPECT_EQ(service.count(OutOp::Reset), 0u);
}

TEST_F(MidiOutPortTest, ASendNotDoneWithinItsBoundFailsAndTheBufferIsTakenBack) {
    ASSERT_TRUE(port.open(0));
    service.completeSendsLater(true);
    service.waitsRunOut(true);
    service.clearCalls();

    EXPECT_FALSE(sendSysEx(port, kMessage.data(), 6));
    EXPECT_EQ(service.lastWaitBound(), kSendBoundMs);
    // The platform hands the buffer back before the send returns and the header goes away.
    EXPECT_EQ(ops(service), (std::vector<OutOp>{OutOp::Prepare, OutOp::LongMessage, OutOp::WaitDone,
                                                OutOp::Reset, OutOp::Unprepare}));
    EXPECT_EQ(service.pendingSends(), 0u);
    EXPECT_EQ(service.preparedHeaders(), 0u);

    // A device that stopped taking bytes is not tried again until the port is reopened.
    service.completeSendsLater(false);
    EXPECT_FALSE(sendSysEx(port, kMessage.data(), 6));
    port.close();
    ASSERT_TRUE(port.open(0));
    EXPECT_TRUE(sendSysEx(port, kMessage.data(), 6));
}

TEST_F(MidiOutPortTest, CloseCutsARunningSendShortInsteadOfWaitingForIt) {
    ASSERT_TRUE(port.open(0));
    service.completeSendsLater(true);  // and nothing ever completes it: a stuck device

    std::atomic<bool> sent{true};
    std::thread sender([&] { sent = sendSysEx(port, kMessage.data(), 6); });
    service.waitForPendingSends(1);

    port.close();  // returns although the send never finishes
    sender.join();

    EXPECT_FALSE(sent);
    EXPECT_FALSE(port.isOpen());
    EXPECT_FALSE(service.closedUnderSend());
    EXPECT_EQ(service.preparedHeaders(), 0u);
    const auto calls = ops(service);
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.back(), OutOp::Close);
    EXPECT_EQ(service.count(OutOp::Close), 1u);
    // Reset first: the send ends, leaves the gate, and only then is the handle closed.
    const auto reset = std::find(calls.begin(), calls.end(), OutOp::Reset);
    ASSERT_NE(reset, calls.end());
    EXPECT_LT(reset, std::find(calls.begin(), calls.end(), OutOp::Unprepare));
}

TEST_F(MidiOutPortTest, CloseResetsOnlyAnOpenPort) {
    port.close();
    EXPECT_EQ(service.count(OutOp::Reset), 0u);
    ASSERT_TRUE(port.open(0));
    port.close();
    EXPECT_EQ(ops(service), (std::vector<OutOp>{OutOp::Open, OutOp::Reset, OutOp::Close}));
}

}  // namespace
}  // namespace pxr9
