#include "midi/midi_in_port.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

#include "tests/doubles/fake_midi_in_service.h"

namespace pxr9 {
namespace {

using test::FakeMidiInService;
using test::InOp;
using Bytes = std::vector<std::uint8_t>;

const Bytes kReplyA = {0xF0, 0x52, 0x00, 0x6E, 0x00, 0x00, 0xF7};
const Bytes kReplyB = {0xF0, 0x7E, 0x00, 0x06, 0x02, 0x52, 0x6E, 0x00, 0x00, 0x00, 0xF7};

Bytes nodeBytes(const QueueNode* node) {
    return Bytes(node->data.get(), node->data.get() + node->size);
}

// Takes every queued node off the queue, oldest first.
std::vector<Bytes> drain(ReceiveQueue& queue) {
    std::vector<Bytes> nodes;
    while (const QueueNode* node = queue.head()) {
        nodes.push_back(nodeBytes(node));
        queue.popHead();
    }
    return nodes;
}

// A SysEx message of `size` bytes with a recognisable body and, optionally, its closing F7.
Bytes sysex(std::size_t size, bool closed = true) {
    Bytes m(size);
    m[0] = 0xF0;
    for (std::size_t i = 1; i < size; ++i) m[i] = static_cast<std::uint8_t>(i % 0x7F);
    if (closed) m[size - 1] = 0xF7;
    return m;
}

std::vector<InOp> ops(const FakeMidiInService& service) {
    std::vector<InOp> result;
    for (const auto& call : service.calls()) result.push_back(call.op);
    return result;
}

class MidiInPortTest : public ::testing::Test {
  protected:
    void SetUp() override { service.setDeviceNames({"Other In", "KEVO PXR-9"}); }
    // The receive buffer the port lent at its last open.
    const MidiHeader* lentHeader() const {
        const MidiHeader* header = nullptr;
        for (const auto& call : service.calls()) {
            if (call.op == InOp::AddBuffer) header = call.header;
        }
        return header;
    }

    FakeMidiInService service;
    MidiInPort port{service};
};

TEST_F(MidiInPortTest, OpenLendsOneZeroFilledBufferAndStarts) {
    ASSERT_TRUE(port.open(1));
    EXPECT_TRUE(port.isOpen());
    EXPECT_EQ(port.deviceIndex(), 1);
    EXPECT_EQ(ops(service), (std::vector<InOp>{InOp::Open, InOp::Reset, InOp::Prepare,
                                               InOp::AddBuffer, InOp::Start}));
    EXPECT_EQ(service.calls().front().deviceIndex, 1);

    const MidiHeader* header = lentHeader();
    ASSERT_NE(header, nullptr);
    EXPECT_EQ(header->bufferLength, MidiInPort::kBufferSize);
    EXPECT_EQ(Bytes(header->data, header->data + header->bufferLength),
              Bytes(MidiInPort::kBufferSize, 0));
    EXPECT_EQ(service.lentBuffers(), 1u);
}

TEST_F(MidiInPortTest, OpenFailingAtAnyStepHoldsNothingAndCanBeRetried) {
    for (InOp step : {InOp::Open, InOp::Reset, InOp::Prepare, InOp::AddBuffer, InOp::Start}) {
        SCOPED_TRACE(static_cast<int>(step));
        FakeMidiInService fresh;
        MidiInPort subject(fresh);
        fresh.failNext(step);

        EXPECT_FALSE(subject.open(0));
        EXPECT_FALSE(subject.isOpen());
        EXPECT_EQ(fresh.openHandles(), 0u);
        EXPECT_EQ(fresh.lentBuffers(), 0u);
        for (const auto& call : fresh.calls()) {
            if (call.header != nullptr) {
                EXPECT_FALSE(fresh.holds(call.header));
            }
        }

        EXPECT_TRUE(subject.open(0));
        EXPECT_TRUE(subject.isOpen());
        EXPECT_TRUE(fresh.deliver(kReplyA));
        EXPECT_EQ(drain(subject.queue()), std::vector<Bytes>{kReplyA});
    }
}

TEST_F(MidiInPortTest, MessagesAreQueuedInArrivalOrderAndTheBufferLentAgain) {
    ASSERT_TRUE(port.open(1));
    ASSERT_TRUE(service.deliver(kReplyA));
    ASSERT_TRUE(service.deliver(kReplyB));

    EXPECT_EQ(drain(port.queue()), (std::vector<Bytes>{kReplyA, kReplyB}));
    EXPECT_EQ(service.lentBuffers(), 1u);
    // Lent again each time on the port's own handle, with its own header.
    const MidiHandle handle = service.calls().front().handle;
    for (const auto& call : service.calls()) {
        EXPECT_EQ(call.handle, handle);
        if (call.header != nullptr) {
            EXPECT_EQ(call.header, lentHeader());
        }
    }
}

TEST_F(MidiInPortTest, ReturnsWithoutAMessageAreNeitherQueuedNorLentAgain) {
    struct Case {
        const char* name;
        bool (*returnBuffer)(FakeMidiInService&);
    };
    const Case cases[] = {
        {"nothing recorded", [](FakeMidiInService& s) { return s.returnEmpty(); }},
        {"done flag clear", [](FakeMidiInService& s) { return s.returnNotDone(kReplyA); }},
        {"error notice",
         [](FakeMidiInService& s) { return s.returnWithNotice(kMimLongError, kReplyA); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeMidiInService fresh;
        MidiInPort subject(fresh);
        ASSERT_TRUE(subject.open(0));
        const std::size_t addsAfterOpen = fresh.count(InOp::AddBuffer);

        ASSERT_TRUE(c.returnBuffer(fresh));
        EXPECT_TRUE(subject.queue().empty());
        EXPECT_EQ(fresh.count(InOp::AddBuffer), addsAfterOpen);
        EXPECT_EQ(fresh.lentBuffers(), 0u);
        // The port stays open but hears no more SysEx until it is opened again.
        EXPECT_TRUE(subject.isOpen());
        EXPECT_FALSE(fresh.deliver(kReplyB));
    }
}

TEST_F(MidiInPortTest, ShortMessagesAreNotPassedOn) {
    ASSERT_TRUE(port.open(1));
    ASSERT_TRUE(service.sendShort(0x7F3C90));
    EXPECT_TRUE(port.queue().empty());
    // The buffer was never handed back, so SysEx still arrives.
    ASSERT_TRUE(service.deliver(kReplyA));
    EXPECT_EQ(drain(port.queue()), std::vector<Bytes>{kReplyA});
}

TEST_F(MidiInPortTest, AMessageFillingTheWholeBufferIsOneNode) {
    ASSERT_TRUE(port.open(1));
    const Bytes full = sysex(MidiInPort::kBufferSize);
    ASSERT_TRUE(service.deliver(full));
    EXPECT_EQ(drain(port.queue()), std::vector<Bytes>{full});
}

TEST_F(MidiInPortTest, ALongerMessageComesInPiecesThatAreNeverJoined) {
    ASSERT_TRUE(port.open(1));
    const Bytes longMessage = sysex(MidiInPort::kBufferSize + 10);
    ASSERT_TRUE(service.deliver(longMessage));

    const auto nodes = drain(port.queue());
    ASSERT_EQ(nodes.size(), 2u);
    EXPECT_EQ(nodes[0], Bytes(longMessage.begin(), longMessage.begin() + MidiInPort::kBufferSize));
    EXPECT_NE(nodes[0].back(), 0xF7);
    EXPECT_EQ(nodes[1], Bytes(longMessage.begin() + MidiInPort::kBufferSize, longMessage.end()));
    EXPECT_NE(nodes[1].front(), 0xF0);
}

TEST_F(MidiInPortTest, CloseRunsItsChainOnceAndKeepsWhatWasQueued) {
    ASSERT_TRUE(port.open(1));
    ASSERT_TRUE(service.deliver(kReplyA));
    service.clearCalls();

    port.close();
    port.close();
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(ops(service),
              (std::vector<InOp>{InOp::Stop, InOp::Reset, InOp::Unprepare, InOp::Close}));
    EXPECT_EQ(service.openHandles(), 0u);

    EXPECT_EQ(drain(port.queue()), std::vector<Bytes>{kReplyA});
}

TEST_F(MidiInPortTest, ClearQueueClosesAndFreesEveryNode) {
    ASSERT_TRUE(port.open(1));
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(service.deliver(kReplyB));

    port.clearQueue();
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(service.openHandles(), 0u);
    EXPECT_TRUE(port.queue().empty());
}

TEST_F(MidiInPortTest, ClosingOnAnUnopenedPortDoesNothing) {
    port.close();
    port.clearQueue();
    EXPECT_TRUE(service.calls().empty());
}

TEST_F(MidiInPortTest, AFailedCloseChainStopsThereAndKeepsTheBufferAlive) {
    struct Case {
        InOp failing;
        std::vector<InOp> expected;
    };
    const Case cases[] = {
        {InOp::Stop, {InOp::Stop}},
        {InOp::Reset, {InOp::Stop, InOp::Reset}},
        {InOp::Unprepare, {InOp::Stop, InOp::Reset, InOp::Unprepare}},
        {InOp::Close, {InOp::Stop, InOp::Reset, InOp::Unprepare, InOp::Close}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.failing));
        FakeMidiInService fresh;
        MidiInPort subject(fresh);
        ASSERT_TRUE(subject.open(0));
        const MidiHeader* header = nullptr;
        for (const auto& call : fresh.calls()) {
            if (call.op == InOp::AddBuffer) header = call.header;
        }
        fresh.clearCalls();
        fresh.failNext(c.failing);

        subject.close();
        EXPECT_FALSE(subject.isOpen());
        EXPECT_EQ(ops(fresh), c.expected);
        // The port counts as closed: a second close does nothing.
        subject.close();
        EXPECT_EQ(ops(fresh), c.expected);

        // Still the port's memory: a freed buffer shows up here under the address sanitizer.
        EXPECT_EQ(header->bufferLength, MidiInPort::kBufferSize);
        // Where the platform still records into it, what it records is still queued, but
        // the buffer is no longer lent again.
        if (fresh.lentBuffers() > 0) {
            const std::size_t adds = fresh.count(InOp::AddBuffer);
            fresh.clearFailures();
            ASSERT_TRUE(fresh.start(fresh.calls().front().handle));
            ASSERT_TRUE(fresh.deliver(kReplyA));
            EXPECT_EQ(drain(subject.queue()), std::vector<Bytes>{kReplyA});
            EXPECT_EQ(fresh.count(InOp::AddBuffer), adds);
        }
    }
}

TEST_F(MidiInPortTest, ClosingWhileMessagesArriveLeavesNothingLent) {
    ASSERT_TRUE(port.open(1));
    std::atomic<bool> firstDelivered{false};
    std::thread device([&] {
        // The platform records until the port is stopped.
        while (service.deliver(kReplyA)) firstDelivered = true;
    });
    while (!firstDelivered) std::this_thread::yield();
    port.close();
    device.join();

    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(service.lentBuffers(), 0u);
    EXPECT_EQ(service.openHandles(), 0u);
    for (const auto& node : drain(port.queue())) EXPECT_EQ(node, kReplyA);
}

}  // namespace
}  // namespace pxr9
