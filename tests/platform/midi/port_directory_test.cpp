#include "midi/port_directory.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <thread>

#include "midi/midi_in_port.h"
#include "midi/midi_out_port.h"
#include "pipe_stream.h"
#include "platform/midi/stream/stream_connections.h"
#include "recorder_fixture.h"

namespace pxr9::testing {
namespace {

class FakeOutput : public OutputConnection {
  public:
    explicit FakeOutput(std::vector<Bytes>& sent, bool accept) : sent_(sent), accept_(accept) {}
    bool send(const std::uint8_t* data, std::size_t size) override {
        if (accept_) sent_.emplace_back(data, data + size);
        return accept_;
    }
    void cancel() override {}

  private:
    std::vector<Bytes>& sent_;
    bool accept_;
};

// A MIDI system with a fixed list of ports that records what is opened and sent.
class FakeOutputBackend : public OutputBackend {
  public:
    explicit FakeOutputBackend(std::vector<PortEntry> list) : list(std::move(list)) {}
    std::vector<PortEntry> ports() override { return list; }
    std::unique_ptr<OutputConnection> open(const PortEntry& port) override {
        opened.push_back(port.address);
        if (!opens) return nullptr;
        return std::make_unique<FakeOutput>(sent, accepts);
    }

    std::vector<PortEntry> list;
    std::vector<std::string> opened;
    std::vector<Bytes> sent;
    bool opens = true;
    bool accepts = true;
};

class PortDirectoryTest : public ::testing::Test {
  protected:
    FakeOutputBackend hardware{{{"KEVO PXR-9", "hw:1,0,0"}, {"", "hw:1,0,1"}}};
    FakeOutputBackend software{{{"KEVO PXR-9", "sim:KEVO PXR-9"}}};
    OutputPorts service{{&hardware, &software}};
};

TEST_F(PortDirectoryTest, NumbersHardwareFirstThenSoftwarePorts) {
    ASSERT_EQ(service.count(), 3);
    struct Case {
        int index;
        const char* name;
        FakeOutputBackend* backend;
        const char* address;
    };
    const Case cases[] = {
        {0, "KEVO PXR-9", &hardware, "hw:1,0,0"},
        {1, "", &hardware, "hw:1,0,1"},
        {2, "KEVO PXR-9", &software, "sim:KEVO PXR-9"},
    };
    for (const Case& c : cases) {
        std::string name = "unread";
        EXPECT_TRUE(service.name(c.index, name));
        EXPECT_EQ(name, c.name) << c.index;
        MidiOutPort port(service);
        ASSERT_TRUE(port.open(c.index)) << c.index;
        ASSERT_FALSE(c.backend->opened.empty());
        EXPECT_EQ(c.backend->opened.back(), c.address);
    }
    EXPECT_EQ(hardware.opened.size() + software.opened.size(), 3u);
}

TEST_F(PortDirectoryTest, NumbersWithoutAPortFailToOpen) {
    service.count();
    MidiOutPort port(service);
    for (const std::int32_t index : {-1, 3, 1000}) {
        EXPECT_FALSE(port.open(index)) << index;
        EXPECT_FALSE(port.isOpen()) << index;
        std::string name;
        EXPECT_FALSE(service.name(index, name)) << index;
    }
    EXPECT_TRUE(hardware.opened.empty());
    EXPECT_TRUE(software.opened.empty());
}

TEST_F(PortDirectoryTest, AChosenNumberOpensThePortTheListShowed) {
    ASSERT_EQ(service.count(), 3);
    // A hardware port goes away after the list was shown: number 2 is still the software port.
    hardware.list.pop_back();
    MidiOutPort port(service);
    ASSERT_TRUE(port.open(2));
    EXPECT_EQ(software.opened, std::vector<std::string>{"sim:KEVO PXR-9"});
    // The next count takes the new list.
    EXPECT_EQ(service.count(), 2);
}

TEST_F(PortDirectoryTest, SendThroughTheOutputPortSucceedsOnlyWhenTheBytesWentOut) {
    MidiOutPort port(service);
    service.count();
    ASSERT_TRUE(port.open(2));
    const Bytes message = sysex(4700);
    EXPECT_TRUE(port.send(message.data(), message.size()));
    EXPECT_EQ(software.sent, std::vector<Bytes>{message});

    software.accepts = false;  // a refused send is a failure, never a hang
    port.close();
    ASSERT_TRUE(port.open(2));
    EXPECT_FALSE(port.send(message.data(), message.size()));
    port.close();
    EXPECT_FALSE(port.send(message.data(), message.size()));
}

// Input ports over pipes: the test writes what a device would send.
class PipeInputBackend : public InputBackend {
  public:
    std::vector<PortEntry> ports() override { return {{"KEVO PXR-9", "pipe"}}; }
    std::unique_ptr<InputConnection> open(const PortEntry&, SysexReceiver& receiver) override {
        int fds[2];
        if (::pipe(fds) != 0) return nullptr;
        writeEnd = fds[1];
        ++opens;
        return std::make_unique<StreamInput>(std::make_unique<testing::PipeSource>(fds[0]),
                                             receiver);
    }

    int writeEnd = -1;
    int opens = 0;
};

class NoInputBackend : public InputBackend {
  public:
    std::vector<PortEntry> ports() override { return {{"Other", "x"}}; }
    std::unique_ptr<InputConnection> open(const PortEntry&, SysexReceiver&) override {
        return nullptr;
    }
};

// Waits for the queue to hold `count` nodes; the deadline only guards against a hang.
std::vector<Bytes> takeQueued(MidiInPort& port, std::size_t count) {
    std::vector<Bytes> taken;
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (taken.size() < count && std::chrono::steady_clock::now() < giveUp) {
        if (const QueueNode* node = port.queue().head()) {
            taken.emplace_back(node->data.get(), node->data.get() + node->size);
            port.queue().popHead();
        } else {
            std::this_thread::yield();
        }
    }
    return taken;
}

TEST(InputPorts, InputPortReceivesWholeMessagesAndClosesCleanly) {
    NoInputBackend hardware;
    PipeInputBackend software;
    InputPorts service({&hardware, &software});
    ASSERT_EQ(service.count(), 2);
    MidiInPort port(service);
    EXPECT_FALSE(port.open(0));  // a port the backend cannot open
    ASSERT_TRUE(port.open(1));

    const Bytes a = sysex(4700, 1);
    const Bytes b = sysex(10000, 2);
    writeAll(software.writeEnd, testing::join({{0xFE, 0x80, 0x40, 0x00}, a, {0xF8}, b}));
    const auto got = takeQueued(port, 3);
    const std::vector<Bytes> expected = {a, Bytes(b.begin(), b.begin() + 8192),
                                         Bytes(b.begin() + 8192, b.end())};
    EXPECT_EQ(got, expected);

    port.close();
    EXPECT_FALSE(port.isOpen());
    // The close has released the input: its read end is gone.
    std::signal(SIGPIPE, SIG_IGN);
    EXPECT_EQ(::write(software.writeEnd, a.data(), a.size()), -1);
    EXPECT_EQ(errno, EPIPE);
    EXPECT_TRUE(port.queue().empty());
    ::close(software.writeEnd);

    ASSERT_TRUE(port.open(1));  // and the device opens again
    EXPECT_EQ(software.opens, 2);
    port.close();
    ::close(software.writeEnd);
}

}  // namespace
}  // namespace pxr9::testing
