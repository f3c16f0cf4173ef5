// Everything a device can send, as a connection hands it to the input port, through the
// receive queue into the reply dispatcher.
//
// The input is a sequence of records, each one delivery to the port:
//   control byte, length (2 bytes, least significant first, taken modulo 8193), the bytes.
// A delivery may hold anything: part of a message, several joined, no F0 or no F7, nothing.
// Bit 5 accepts or forgets the device identity (changes the model byte of the answers), bit 6
// resets the ReadBuffer as a reader does before a Memory Read, bit 7 runs the dispatcher
// after the record. The dispatcher also runs once at the end.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <set>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "fuzz/fuzz_input.h"
#include "midi/midi_in_port.h"
#include "midi/midi_out_port.h"
#include "protocol/device_link.h"
#include "protocol/dispatcher.h"
#include "protocol/messages.h"
#include "protocol/read_buffer.h"
#include "tests/doubles/fake_input_backend.h"
#include "tests/doubles/fake_output_backend.h"

namespace pxr9::fuzz {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint32_t kAcceptedIdentity = 0x0010006E;
// n travels in two bytes that the dispatcher does not mask: at most 0xFF | 0x7F << 7.
constexpr std::size_t kLargestReadData = 0x7FFF;

class CountingReplyEvent final : public ReplyEvent {
  public:
    void set() override { ++signals; }
    void reset() override {}
    bool wait(std::uint32_t) override { return false; }
    std::size_t signals = 0;
};

// Built once: the ReadBuffer alone is several megabytes.
struct Rig {
    testing::FakeInputBackend inService;
    testing::FakeOutputBackend outService;
    InputPorts inputs{{&inService}};
    OutputPorts outputs{{&outService}};
    MidiInPort in{inputs};
    MidiOutPort out{outputs};
    CountingReplyEvent event;
    DeviceLink link{out, in.queue(), event};

    Rig() {
        FUZZ_CHECK(in.open(0));
        FUZZ_CHECK(out.open(0));
    }
};

Rig& rig() {
    static Rig r;
    return r;
}

bool isAutomaticAnswer(const DeviceLink& link, const Bytes& sent) {
    const Bytes status0 = {0xF0, 0x52, 0x00, link.modelId(), 0x00, 0x00, 0xF7};
    const Bytes status1 = {0xF0, 0x52, 0x00, link.modelId(), 0x00, 0x01, 0xF7};
    const IdentityReplyRecord reply = buildIdentityReply(link.hostIdentity.load());
    return sent == status0 || sent == status1 || sent == Bytes(reply.begin(), reply.end());
}

// Runs the dispatcher over what was queued since the last run and checks what it left.
void dispatchAndCheck(Rig& r, std::vector<Bytes>& queued) {
    DeviceLink& link = r.link;

    // The queue holds exact copies of the recorded bytes, one node per return, in order.
    std::size_t nodes = 0;
    for (const QueueNode* node = link.queue.head(); node != nullptr; node = node->next) {
        FUZZ_CHECK(nodes < queued.size());
        const Bytes& expected = queued[nodes++];
        FUZZ_CHECK(node->size == expected.size());
        FUZZ_CHECK(std::memcmp(node->data.get(), expected.data(), expected.size()) == 0);
    }
    FUZZ_CHECK(nodes == queued.size());

    // A status handed over is 0 (a Write Block's acknowledgement) or one of the status bytes.
    std::set<std::uint8_t> statuses = {0};
    for (const Bytes& m : queued) {
        if (m.size() > 5) statuses.insert(m[5]);
    }
    const std::uint32_t countBefore = link.readBuffer.count();
    const std::size_t sentBefore = r.outService.sent().size();
    const std::size_t signalsBefore = r.event.signals;

    dispatchReplies(link);

    FUZZ_CHECK(link.queue.empty());
    if (const std::optional<Reply> answer = link.takeAnswer()) {
        FUZZ_CHECK(answer->isAnswer());
        FUZZ_CHECK(answer->kind() != Reply::Kind::Status ||
                   statuses.count(answer->statusCode()) == 1);
    }
    const std::uint32_t count = link.readBuffer.count();
    FUZZ_CHECK(count <= ReadBuffer::kCapacity);
    FUZZ_CHECK(count >= countBefore);
    FUZZ_CHECK(count - countBefore <= queued.size() * kLargestReadData);
    // At most one answer or one signal per message, and answers are the host's own.
    const auto& sent = r.outService.sent();
    FUZZ_CHECK(sent.size() - sentBefore <= queued.size());
    for (std::size_t i = sentBefore; i < sent.size(); ++i) {
        FUZZ_CHECK(isAutomaticAnswer(link, sent[i]));
    }
    FUZZ_CHECK(r.event.signals - signalsBefore <= queued.size());
    queued.clear();
}

}  // namespace
}  // namespace pxr9::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace pxr9;
    using namespace pxr9::fuzz;

    Rig& r = rig();
    r.outService.clearSent();
    r.link.currentIdentity.store(0);
    r.link.hostIdentity.store(0);
    r.link.readBuffer.reset();

    FuzzInput input(data, size);
    std::vector<Bytes> queued;
    while (input.remaining() >= 3) {
        const std::uint8_t control = input.byte();
        const std::size_t length = input.word() % (SysexReceiver::kMaxPiece + 1);
        const Bytes bytes = input.bytes(length);

        if (control & 0x20) {
            const std::uint32_t identity = r.link.modelId() == 0 ? kAcceptedIdentity : 0;
            r.link.currentIdentity.store(identity);
            r.link.hostIdentity.store(identity);
        }
        if (control & 0x40) r.link.readBuffer.reset();

        FUZZ_CHECK(r.inService.deliver(bytes));
        // Only a delivery with bytes in it becomes a node.
        if (!bytes.empty()) queued.push_back(bytes);

        if (control & 0x80) dispatchAndCheck(r, queued);
    }
    dispatchAndCheck(r, queued);
    return 0;
}
