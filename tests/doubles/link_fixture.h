#pragma once

#include <gtest/gtest.h>

#include "midi/midi_out_port.h"
#include "midi/receive_queue.h"
#include "platform/real_time.h"
#include "protocol/device_link.h"
#include "tests/doubles/fake_output_backend.h"

namespace pxr9::testing {

using Bytes = std::vector<std::uint8_t>;

// A DeviceLink over an open recording port: what goes out is recorded, what comes in is
// queued by the test itself.
class LinkFixture {
  public:
    LinkFixture() { EXPECT_TRUE(port.open(0)); }

    // Queues one received message (an exact heap copy, so reads past it are caught).
    void receive(const Bytes& message) { queue.append(message.data(), message.size()); }

    // The event's state without waiting: consumes a pending signal.
    bool signalled() { return replyEvent.wait(0); }

    testing::FakeOutputBackend service;
    OutputPorts ports{{&service}};
    MidiOutPort port{ports};
    ReceiveQueue queue;
    RealReplyEvent replyEvent;
    DeviceLink link{port, queue, replyEvent};
};

// Hex dump for failure messages.
inline std::string hex(const Bytes& bytes) {
    static const char* digits = "0123456789ABCDEF";
    std::string text;
    for (std::uint8_t b : bytes) {
        if (!text.empty()) text += ' ';
        text += digits[b >> 4];
        text += digits[b & 15];
    }
    return text;
}

}  // namespace pxr9::testing
