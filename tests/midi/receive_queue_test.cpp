#include "midi/receive_queue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

#include "midi/midi_in_port.h"
#include "tests/doubles/fake_input_backend.h"

namespace pxr9::testing {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Message number i: its number in three seven-bit bytes and a body whose length varies.
Bytes numbered(int i) {
    Bytes m = {0xF0, static_cast<std::uint8_t>(i & 0x7F),
               static_cast<std::uint8_t>((i >> 7) & 0x7F),
               static_cast<std::uint8_t>((i >> 14) & 0x7F)};
    m.resize(m.size() + static_cast<std::size_t>(i % 61), static_cast<std::uint8_t>(i % 0x7F));
    m.push_back(0xF7);
    return m;
}

TEST(ReceiveQueueTest, KeepsOrderAndContentBetweenOneProducerAndOneConsumer) {
    constexpr int kMessages = 40000;
    testing::FakeInputBackend service;
    InputPorts ports{{&service}};
    MidiInPort port(ports);
    ASSERT_TRUE(port.open(0));

    // The platform's thread delivers messages as fast as it can.
    std::atomic<bool> producerFailed{false};
    std::thread producer([&] {
        for (int i = 0; i < kMessages; ++i) {
            if (!service.deliver(numbered(i))) {
                producerFailed = true;
                return;
            }
        }
    });
    // The dispatch thread takes them off the head, often meeting the producer at the
    // last node.
    int received = 0;
    int mismatches = 0;
    std::thread consumer([&] {
        ReceiveQueue& queue = port.queue();
        while (received < kMessages) {
            const QueueNode* node = queue.head();
            if (node == nullptr) {
                if (producerFailed) return;
                std::this_thread::yield();
                continue;
            }
            const Bytes expected = numbered(received);
            if (Bytes(node->data.get(), node->data.get() + node->size) != expected) ++mismatches;
            queue.popHead();
            ++received;
        }
    });
    producer.join();
    consumer.join();

    EXPECT_FALSE(producerFailed);
    EXPECT_EQ(received, kMessages);
    EXPECT_EQ(mismatches, 0);
    EXPECT_TRUE(port.queue().empty());
}

TEST(ReceiveQueueTest, AnEmptiedQueueTakesNewNodesAtTheHead) {
    ReceiveQueue queue;
    const std::uint8_t a[] = {0xF0, 0x01, 0xF7};
    const std::uint8_t b[] = {0xF0, 0x02, 0xF7};
    ASSERT_TRUE(queue.append(a, sizeof a));
    queue.popHead();
    queue.popHead();  // on an empty queue: nothing happens
    ASSERT_TRUE(queue.append(b, sizeof b));
    ASSERT_TRUE(queue.append(a, sizeof a));

    ASSERT_NE(queue.head(), nullptr);
    EXPECT_EQ(queue.head()->data[1], 0x02);
    EXPECT_EQ(queue.head()->size, sizeof b);
    queue.popHead();
    EXPECT_EQ(queue.head()->data[1], 0x01);
    queue.clear();
    EXPECT_TRUE(queue.empty());
}

// Counts the messages it is told of and checks that each can already be taken.
class CountingListener final : public ArrivalListener {
  public:
    explicit CountingListener(ReceiveQueue& queue) : queue_(queue) {}
    void messageQueued() override {
        ++told;
        if (queue_.empty()) ++toldBeforeVisible;
    }
    int told = 0;
    int toldBeforeVisible = 0;

  private:
    ReceiveQueue& queue_;
};

TEST(ReceiveQueueTest, TellsItsListenerOfEachMessageOnceItCanBeTaken) {
    ReceiveQueue queue;
    CountingListener listener(queue);
    const std::uint8_t message[] = {0xF0, 0x52, 0x00, 0x01, 0x00, 0x00, 0xF7};
    queue.append(message, sizeof message);  // no listener yet
    queue.setListener(&listener);
    queue.append(message, sizeof message);
    queue.popHead();
    queue.popHead();
    queue.append(message, 0);  // an empty copy is still one message
    EXPECT_EQ(listener.told, 2);
    EXPECT_EQ(listener.toldBeforeVisible, 0);

    queue.setListener(nullptr);
    queue.append(message, sizeof message);
    EXPECT_EQ(listener.told, 2);
}

}  // namespace
}  // namespace pxr9::testing
