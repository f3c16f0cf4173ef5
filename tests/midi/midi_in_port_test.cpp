#include "midi/midi_in_port.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

#include "tests/doubles/fake_input_backend.h"

namespace pxr9::testing {
namespace {

using Bytes = std::vector<std::uint8_t>;

const Bytes kReplyA = {0xF0, 0x52, 0x00, 0x6E, 0x00, 0x00, 0xF7};
const Bytes kReplyB = {0xF0, 0x7E, 0x00, 0x06, 0x02, 0x52, 0x6E, 0x00, 0x00, 0x00, 0xF7};

// Takes every queued node off the queue, oldest first.
std::vector<Bytes> drain(ReceiveQueue& queue) {
    std::vector<Bytes> nodes;
    while (const QueueNode* node = queue.head()) {
        nodes.emplace_back(node->data.get(), node->data.get() + node->size);
        queue.popHead();
    }
    return nodes;
}

class MidiInPortTest : public ::testing::Test {
  protected:
    FakeInputBackend service{{"Other In", "KEVO PXR-9"}};
    InputPorts ports{{&service}};
    MidiInPort port{ports};
};

TEST_F(MidiInPortTest, OpensTheChosenDeviceAndQueuesMessagesInArrivalOrder) {
    ports.count();
    ASSERT_TRUE(port.open(1));
    EXPECT_TRUE(port.isOpen());
    EXPECT_EQ(service.opened(), std::vector<int>{1});
    ASSERT_TRUE(service.deliver(kReplyA));
    ASSERT_TRUE(service.deliver(kReplyB));
    EXPECT_EQ(drain(port.queue()), (std::vector<Bytes>{kReplyA, kReplyB}));
    EXPECT_EQ(port.queue().arrivals(), 2u);
}

TEST_F(MidiInPortTest, AnOpenThatFailsHoldsNothingAndCanBeRetried) {
    struct Case {
        const char* what;
        int index;
        bool refuseOpen;
        bool refuseStart;
    };
    for (const Case& c :
         {Case{"no such device", 5, false, false}, Case{"nothing chosen", -1, false, false},
          Case{"the system refuses the open", 1, true, false},
          Case{"the system will not start", 1, false, true}}) {
        ports.count();
        service.failOpen(1, c.refuseOpen);
        service.failStart(c.refuseStart);
        EXPECT_FALSE(port.open(c.index)) << c.what;
        EXPECT_FALSE(port.isOpen()) << c.what;
        EXPECT_FALSE(service.delivering()) << c.what;
        EXPECT_EQ(service.openCount(), service.closeCount()) << c.what;

        service.failOpen(1, false);
        service.failStart(false);
        ASSERT_TRUE(port.open(1)) << c.what;
        port.close();
    }
}

TEST_F(MidiInPortTest, AnOpenPortIsNotSilentlyReplaced) {
    ports.count();
    ASSERT_TRUE(port.open(1));
    EXPECT_FALSE(port.open(0));
    EXPECT_EQ(service.opened(), std::vector<int>{1});
}

// Whatever length a connection reports, no more than one piece is copied, and an empty
// delivery is no message.
TEST_F(MidiInPortTest, DeliveriesAreCopiedExactlyAndNeverPastOnePiece) {
    ports.count();
    ASSERT_TRUE(port.open(1));
    const Bytes piece(SysexReceiver::kMaxPiece, 0x11);
    Bytes tooLong(SysexReceiver::kMaxPiece + 100, 0x22);
    ASSERT_TRUE(service.deliver({}));
    ASSERT_TRUE(service.deliver(piece));
    ASSERT_TRUE(service.deliver(tooLong));
    const auto nodes = drain(port.queue());
    ASSERT_EQ(nodes.size(), 2u);
    EXPECT_EQ(nodes[0], piece);
    EXPECT_EQ(nodes[1], Bytes(SysexReceiver::kMaxPiece, 0x22));
}

TEST_F(MidiInPortTest, CloseStopsDeliveriesAndKeepsWhatWasQueued) {
    ports.count();
    port.close();  // on a port that is not open: nothing happens
    ASSERT_TRUE(port.open(1));
    ASSERT_TRUE(service.deliver(kReplyA));
    port.close();
    EXPECT_FALSE(port.isOpen());
    EXPECT_FALSE(service.deliver(kReplyB));
    EXPECT_EQ(service.closeCount(), 1);
    EXPECT_EQ(drain(port.queue()), std::vector<Bytes>{kReplyA});

    ASSERT_TRUE(port.open(1));
    ASSERT_TRUE(service.deliver(kReplyB));
    port.clearQueue();
    EXPECT_FALSE(port.isOpen());
    EXPECT_TRUE(port.queue().empty());
}

TEST_F(MidiInPortTest, AnInputThatEndsIsMarkedUntilThePortCloses) {
    ports.count();
    ASSERT_TRUE(port.open(1));
    ASSERT_TRUE(service.deliver(kReplyA));
    ASSERT_TRUE(service.end());
    EXPECT_TRUE(port.queue().ended());
    EXPECT_EQ(drain(port.queue()), std::vector<Bytes>{kReplyA});  // what came before stays
    port.close();
    EXPECT_FALSE(port.queue().ended());
}

// The platform's thread delivers while the worker closes: the close returns only once no
// delivery runs, and every message delivered before it is queued whole.
TEST_F(MidiInPortTest, ClosingWhileMessagesArriveLosesNoQueuedMessage) {
    ports.count();
    for (int round = 0; round < 50; ++round) {
        ASSERT_TRUE(port.open(1));
        std::atomic<int> delivered{0};
        std::atomic<bool> go{true};
        std::thread platform([&] {
            while (go.load() && service.deliver(kReplyB)) ++delivered;
        });
        while (delivered.load() < 3) std::this_thread::yield();
        port.close();
        go = false;
        platform.join();
        const auto nodes = drain(port.queue());
        EXPECT_EQ(nodes.size(), static_cast<std::size_t>(delivered.load()));
        for (const Bytes& node : nodes) EXPECT_EQ(node, kReplyB);
    }
}

}  // namespace
}  // namespace pxr9::testing
