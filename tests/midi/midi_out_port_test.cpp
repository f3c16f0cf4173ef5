#include "midi/midi_out_port.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

#include "tests/doubles/fake_output_backend.h"

namespace pxr9::testing {
namespace {

using Send = FakeOutputBackend::Send;

const Bytes kMessage = {0xF0, 0x7E, 0x00, 0x06, 0x01, 0xF7};

class MidiOutPortTest : public ::testing::Test {
  protected:
    FakeOutputBackend service{{"Other Out", "KEVO PXR-9"}};
    OutputPorts ports{{&service}};
    MidiOutPort port{ports};
};

TEST_F(MidiOutPortTest, SendHandsTheBytesToTheChosenDevice) {
    ports.count();
    ASSERT_TRUE(port.open(1));
    EXPECT_EQ(service.opened(), std::vector<int>{1});
    ASSERT_TRUE(port.send(kMessage.data(), kMessage.size()));
    EXPECT_EQ(service.sent(), std::vector<Bytes>{kMessage});
}

TEST_F(MidiOutPortTest, SendsThatCannotLeaveFailWithoutReachingTheConnection) {
    struct Case {
        const char* name;
        bool open;
        const std::uint8_t* buffer;
        std::size_t length;
    };
    const Case cases[] = {
        {"closed port", false, kMessage.data(), 6},
        {"no buffer", true, nullptr, 6},
        {"empty message", true, kMessage.data(), 0},
    };
    ports.count();
    for (const auto& c : cases) {
        if (c.open) {
            ASSERT_TRUE(port.open(0)) << c.name;
        }
        EXPECT_FALSE(port.send(c.buffer, c.length)) << c.name;
        port.close();
    }
    EXPECT_TRUE(service.sent().empty());
}

TEST_F(MidiOutPortTest, OpensOnlyADeviceTheListShowed) {
    ports.count();
    for (const std::int32_t index : {-1, 2, 1000}) {
        EXPECT_FALSE(port.open(index)) << index;
        EXPECT_FALSE(port.isOpen()) << index;
    }
    service.failOpen(0);
    EXPECT_FALSE(port.open(0));
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(service.openConnections(), 0);
}

TEST_F(MidiOutPortTest, CloseLetsGoOfTheConnectionOnce) {
    ports.count();
    port.close();  // never opened: nothing happens
    ASSERT_TRUE(port.open(1));
    port.close();
    port.close();
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(service.openConnections(), 0);
    EXPECT_EQ(service.closeCount(), 1);
}

TEST_F(MidiOutPortTest, RefusedAndGoneSendsFailAndOnlyAGoneDeviceSaysSo) {
    struct Case {
        Send send;
        bool gone;
    };
    ports.count();
    for (const Case& c : {Case{Send::Refused, false}, Case{Send::Gone, true}}) {
        ASSERT_TRUE(port.open(1));
        service.setSend(c.send);
        EXPECT_FALSE(port.send(kMessage.data(), kMessage.size()));
        EXPECT_EQ(port.deviceGone(), c.gone);
        port.close();
        EXPECT_FALSE(port.deviceGone());  // a closed port has no device
    }
}

// A device that stopped taking bytes: close cuts the send short instead of waiting for it,
// and the port opens again afterwards.
TEST_F(MidiOutPortTest, CloseCutsARunningSendShortInsteadOfWaitingForIt) {
    ports.count();
    ASSERT_TRUE(port.open(1));
    service.setSend(Send::Stuck);
    std::atomic<bool> result{true};
    std::thread sender([&] { result = port.send(kMessage.data(), kMessage.size()); });
    service.waitForSends(1);
    while (!service.hasStuckSend()) std::this_thread::yield();
    port.close();
    sender.join();
    EXPECT_FALSE(result.load());
    EXPECT_FALSE(port.isOpen());

    service.setSend(Send::Taken);
    ASSERT_TRUE(port.open(1));
    EXPECT_TRUE(port.send(kMessage.data(), kMessage.size()));
}

TEST_F(MidiOutPortTest, CancelledSendsFailUntilThePortOpensAgain) {
    ports.count();
    port.cancelSends();  // not open: nothing happens
    ASSERT_TRUE(port.open(1));
    port.cancelSends();
    EXPECT_FALSE(port.send(kMessage.data(), kMessage.size()));
    EXPECT_FALSE(port.send(kMessage.data(), kMessage.size()));
    port.close();
    ASSERT_TRUE(port.open(1));
    EXPECT_TRUE(port.send(kMessage.data(), kMessage.size()));
}

}  // namespace
}  // namespace pxr9::testing
