#include "protocol/dispatcher.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "protocol/crc32.h"
#include "protocol/messages.h"
#include "protocol/requests.h"
#include "protocol/seven_bit.h"
#include "tests/doubles/link_fixture.h"

namespace pxr9::testing {
namespace {

constexpr std::uint32_t kSupportedIdentity = 0x0010006E;

const Bytes kHostIdentityReply = {0xF0, 0x7E, 0x00, 0x06, 0x02, 0x52, 0x00, 0x00,
                                  0x00, 0x00, 0x31, 0x30, 0x30, 0x30, 0xF7};
// A device's Read Data carrying the text "1.10".
const Bytes kReadData110 = {0xF0, 0x52, 0x00, 0x6E, 0x60, 0x04, 0x30, 0x00, 0x00, 0x04, 0x00,
                            0x00, 0x31, 0x2E, 0x31, 0x30, 0x53, 0x47, 0x6F, 0x23, 0x04, 0xF7};
const Bytes kText110 = {0x31, 0x2E, 0x31, 0x30};

Bytes statusAnswer(std::uint8_t status) {
    return {0xF0, 0x52, 0x00, 0x6E, 0x00, status, 0xF7};
}

Bytes with(Bytes m, std::size_t index, std::uint8_t value) {
    m.at(index) = value;
    return m;
}

Bytes withoutLast(Bytes m) {
    m.pop_back();
    return m;
}

// A device's Read Data for `payload`, packed and checksummed as the device does.
Bytes readData(const Bytes& payload) {
    const std::size_t n = payload.size();
    Bytes m = {0xF0, 0x52, 0x00, 0x6E, 0x60, 0x04, 0x30, 0x00, 0x00};
    m.push_back(static_cast<std::uint8_t>(n & 0x7F));
    m.push_back(static_cast<std::uint8_t>(n >> 7));
    const std::size_t at = m.size();
    m.resize(at + packedLength(n) + kCrcFieldLength + 1);
    const std::size_t p = packSevenBit(payload.data(), n, &m[at]);
    putSevenBitField(&m[at + p], sysexCrc32(payload.data(), n), kCrcFieldLength);
    m.back() = 0xF7;
    return m;
}

Bytes patterned(std::size_t n, std::uint8_t seed) {
    Bytes bytes(n);
    for (std::size_t i = 0; i < n; ++i) bytes[i] = static_cast<std::uint8_t>(seed + 37 * i);
    return bytes;
}

// Appends `payload` to the read buffer as an accepted reply would.
void preload(ReadBuffer& buffer, const Bytes& payload) {
    Bytes packed(packedLength(payload.size()));
    packSevenBit(payload.data(), payload.size(), packed.data());
    ASSERT_EQ(buffer.appendPacked(packed.data(), payload.size(),
                                  sysexCrc32(payload.data(), payload.size())),
              ReadBuffer::Append::Accepted);
}

struct Effect {
    std::optional<Reply> handedOver = std::nullopt;  // what ends the worker's wait
    std::vector<Bytes> answers = {};
    Bytes data = {};  // the read buffer's contents (bytes 0..count-1) afterwards
};

Effect nothing() {
    return {};
}
Effect status(std::uint8_t code) {
    return {.handedOver = Reply::status(code)};
}
Effect answer(Bytes reply) {
    return {.answers = {std::move(reply)}};
}
Effect identity(std::uint32_t word) {
    return {.handedOver = Reply::identity(word)};
}
Effect accepted(Bytes data) {
    return {.handedOver = Reply::readData(true), .data = std::move(data)};
}
Effect rejected(Bytes data = {}) {
    return {.handedOver = Reply::readData(false), .data = std::move(data)};
}

struct DispatchCase {
    std::string name;
    Bytes message;
    Effect expected;
    Bytes earlierData = {};  // accepted before this message arrives
};

std::vector<DispatchCase> dispatchCases() {
    std::vector<DispatchCase> cases = {
        {"status 00", {0xF0, 0x52, 0x00, 0x6E, 0x00, 0x00, 0xF7}, status(0)},
        {"status 0B", {0xF0, 0x52, 0x00, 0x6E, 0x00, 0x0B, 0xF7}, status(11)},
        {"status 7F", {0xF0, 0x52, 0x00, 0x6E, 0x00, 0x7F, 0xF7}, status(127)},
        {"status, bytes 2 and 3 foreign", {0xF0, 0x52, 0x11, 0x13, 0x00, 0x05, 0xF7}, status(5)},
        {"status without closing byte", {0xF0, 0x52, 0x00, 0x6E, 0x00, 0x03}, status(3)},

        {"command 01", {0xF0, 0x52, 0x00, 0x6E, 0x01, 0xF7}, answer(statusAnswer(0x00))},
        {"command 04", {0xF0, 0x52, 0x00, 0x6E, 0x04, 0xF7}, answer(statusAnswer(0x00))},
        {"command 05", {0xF0, 0x52, 0x00, 0x6E, 0x05, 0xF7}, answer(statusAnswer(0x00))},
        // The answer carries our own model id, whatever the device put at byte 3.
        {"command 01, foreign model byte",
         {0xF0, 0x52, 0x00, 0x13, 0x01, 0xF7},
         answer(statusAnswer(0x00))},
        {"command 02", {0xF0, 0x52, 0x00, 0x6E, 0x02, 0xF7}, status(0)},
        {"command 02, a whole write block",
         {0xF0, 0x52, 0x00, 0x6E, 0x02, 0x00, 0x60, 0x12, 0x00, 0x00, 0x03,
          0x00, 0x00, 0x61, 0x62, 0x63, 0x3D, 0x7C, 0x6E, 0x56, 0x0C, 0xF7},
         status(0)},
        {"command 03", {0xF0, 0x52, 0x00, 0x6E, 0x03, 0xF7}, nothing()},
        {"flash erase",
         {0xF0, 0x52, 0x00, 0x6E, 0x0A, 0x00, 0x00, 0x44, 0x00, 0x00, 0x00, 0x20, 0x00, 0x00, 0x00,
          0xF7},
         answer(statusAnswer(0x01))},
        {"command 06, foreign model byte",
         {0xF0, 0x52, 0x00, 0x00, 0x06, 0xF7},
         answer(statusAnswer(0x01))},

        {"identity request", {0xF0, 0x7E, 0x00, 0x06, 0x01, 0xF7}, answer(kHostIdentityReply)},
        {"identity request to all devices",
         {0xF0, 0x7E, 0x7F, 0x06, 0x01, 0xF7},
         answer(kHostIdentityReply)},
        {"identity reply",
         {0xF0, 0x7E, 0x00, 0x06, 0x02, 0x52, 0x6E, 0x00, 0x10, 0x00, 0x31, 0x30, 0x30, 0x30, 0xF7},
         identity(kSupportedIdentity)},
        {"identity reply, any byte 5",
         {0xF0, 0x7E, 0x00, 0x06, 0x02, 0x41, 0x01, 0x02, 0x03, 0x04, 0x31, 0x30, 0x30, 0x30, 0xF7},
         identity(0x04030201)},
        {"identity reply with top bits set",
         {0xF0, 0x7E, 0x00, 0x06, 0x02, 0x52, 0x81, 0x82, 0x83, 0x84, 0xF7},
         identity(0x84838281)},
        {"identity reply of ten bytes",
         {0xF0, 0x7E, 0x00, 0x06, 0x02, 0x52, 0x6E, 0x00, 0x10, 0x00},
         identity(kSupportedIdentity)},
        {"general information 00",
         {0xF0, 0x7E, 0x00, 0x06, 0x00, 0xF7},
         answer(statusAnswer(0x01))},
        {"general information 03",
         {0xF0, 0x7E, 0x00, 0x06, 0x03, 0xF7},
         answer(statusAnswer(0x01))},
        {"general information FF",
         {0xF0, 0x7E, 0x00, 0x06, 0xFF, 0xF7},
         answer(statusAnswer(0x01))},
        {"universal, byte 3 not 06", {0xF0, 0x7E, 0x00, 0x07, 0x01, 0xF7}, nothing()},
        {"universal identity reply, byte 3 not 06",
         {0xF0, 0x7E, 0x00, 0x09, 0x02, 0x52, 0x6E, 0x00, 0x10, 0x00, 0xF7},
         nothing()},

        {"other maker", {0xF0, 0x41, 0x00, 0x6E, 0x00, 0x05, 0xF7}, nothing()},
        {"real-time universal",
         {0xF0, 0x7F, 0x00, 0x06, 0x02, 0x52, 0x6E, 0x00, 0x10, 0x00, 0xF7},
         nothing()},
        {"first byte 52", {0x52, 0x00, 0x6E, 0x00, 0x05, 0xF7}, nothing()},
        {"first byte 00", {0x00, 0xF0, 0x52, 0x00, 0x6E, 0x00, 0x05, 0xF7}, nothing()},
        {"first byte F7", {0xF7, 0x52, 0x00, 0x6E, 0x00, 0x05, 0xF7}, nothing()},

        {"read data 1.10", kReadData110, accepted(kText110)},
        {"read data without closing byte", withoutLast(kReadData110), accepted(kText110)},
        {"read data, bytes 2 3 7 8 foreign",
         with(with(with(with(kReadData110, 2, 0x7F), 3, 0x01), 7, 0x55), 8, 0x7F),
         accepted(kText110)},
        {"read data appends to an earlier one",
         kReadData110,
         accepted({0xAA, 0xBB, 0x31, 0x2E, 0x31, 0x30}),
         {0xAA, 0xBB}},
        // Not a Read Data: its reader must not take an earlier result for what it reads.
        {"read data, byte 5 is 05", with(kReadData110, 5, 0x05), rejected()},
        {"memory read echoed back", with(kReadData110, 5, 0x30), rejected()},
        {"read data, byte 6 wrong", with(kReadData110, 6, 0x31), rejected()},
        {"read data, wrong crc",
         with(kReadData110, 20, 0x05),
         rejected({0xAA, 0xBB}),
         {0xAA, 0xBB}},
        {"read data, crc byte 0 off by one", with(kReadData110, 16, 0x54), rejected()},
        {"read data, payload corrupted", with(kReadData110, 13, 0x2F), rejected()},
        {"read data, crc fifth byte 14", with(kReadData110, 20, 0x14), accepted(kText110)},
        {"read data, crc fifth byte F4", with(kReadData110, 20, 0xF4), accepted(kText110)},
        {"read data, crc first byte with bit 7", with(kReadData110, 16, 0xD3), accepted(kText110)},
        {"read data of nothing",
         {0xF0, 0x52, 0x00, 0x6E, 0x60, 0x04, 0x30, 0x00, 0x00, 0x00, 0x00, 0x7F, 0x7F, 0x7F, 0x7F,
          0x0F, 0xF7},
         accepted({})},
        {"read data of nothing, crc fifth byte 7F",
         {0xF0, 0x52, 0x00, 0x6E, 0x60, 0x04, 0x30, 0x00, 0x00, 0x00, 0x00, 0x7F, 0x7F, 0x7F, 0x7F,
          0x7F, 0xF7},
         accepted({})},
        {"read data of nothing, crc zero",
         {0xF0, 0x52, 0x00, 0x6E, 0x60, 0x04, 0x30, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
          0x00, 0xF7},
         rejected()},
        {"read data of 6 bytes", readData(patterned(6, 0x80)), accepted(patterned(6, 0x80))},
        // 200 needs both bytes of the length field.
        {"read data of 200 bytes", readData(patterned(200, 3)), accepted(patterned(200, 3))},
        {"read data whose length says more than it carries",
         with(readData(patterned(6, 1)), 9, 0x07), rejected()},
    };
    // Every other command byte is answered with status 01.
    for (int command = 0x06; command <= 0xFF; ++command) {
        if (command == kCmdMemory) continue;
        char name[32];
        std::snprintf(name, sizeof name, "command %02X", command);
        cases.push_back({name,
                         {0xF0, 0x52, 0x00, 0x6E, static_cast<std::uint8_t>(command), 0xF7},
                         answer(statusAnswer(0x01))});
    }
    return cases;
}

// Prepares a link as an update in progress leaves it: the supported device accepted as the
// current identity.
void setUpEarlierState(LinkFixture& f) {
    f.link.currentIdentity = kSupportedIdentity;
}

// What a worker waiting now would be handed: nothing unless the event is signalled.
std::optional<Reply> handedOver(LinkFixture& f) {
    if (!f.signalled()) return std::nullopt;
    const std::optional<Reply> answer = f.link.takeAnswer();
    EXPECT_TRUE(answer.has_value()) << "signalled without an answer";
    return answer;
}

void expectEffect(LinkFixture& f, const Effect& expected) {
    EXPECT_EQ(handedOver(f), expected.handedOver);
    EXPECT_FALSE(f.signalled()) << "more than one signal pending";
    const auto sent = f.service.sent();
    EXPECT_EQ(sent, expected.answers) << (sent.empty() ? "nothing sent" : hex(sent[0]));
    ASSERT_EQ(f.link.readBuffer.count(), expected.data.size());
    Bytes data(expected.data.size());
    f.link.readBuffer.copyData(0, data.size(), data.data());
    EXPECT_EQ(data, expected.data);
}

TEST(Dispatcher, EachReceivedMessageHasItsEffect) {
    for (const DispatchCase& c : dispatchCases()) {
        SCOPED_TRACE(c.name + ": " + hex(c.message));
        LinkFixture f;
        setUpEarlierState(f);
        if (!c.earlierData.empty()) preload(f.link.readBuffer, c.earlierData);
        f.receive(c.message);
        dispatchReplies(f.link);
        EXPECT_TRUE(f.queue.empty());
        expectEffect(f, c.expected);
    }
}

// Cut short before the last position its rule reads, a message is dropped; a Read Data is
// rejected so that its reader does not take an earlier result for data.
TEST(Dispatcher, TruncatedMessagesAreDroppedOrRejected) {
    const struct {
        const char* name;
        Bytes message;
        std::size_t needed;
        bool isReadData;
    } kinds[] = {
        {"status", {0xF0, 0x52, 0x00, 0x6E, 0x00, 0x0B, 0xF7}, 6, false},
        {"command 01", {0xF0, 0x52, 0x00, 0x6E, 0x01, 0xF7}, 5, false},
        {"command 02", {0xF0, 0x52, 0x00, 0x6E, 0x02, 0xF7}, 5, false},
        {"command 06", {0xF0, 0x52, 0x00, 0x6E, 0x06, 0xF7}, 5, false},
        {"identity request", {0xF0, 0x7E, 0x00, 0x06, 0x01, 0xF7}, 5, false},
        {"general information 03", {0xF0, 0x7E, 0x00, 0x06, 0x03, 0xF7}, 5, false},
        {"identity reply",
         {0xF0, 0x7E, 0x00, 0x06, 0x02, 0x52, 0x6E, 0x00, 0x10, 0x00, 0x31, 0x30, 0x30, 0x30, 0xF7},
         10,
         false},
        {"read data", kReadData110, 21, true},
        {"read data of 200 bytes", readData(patterned(200, 9)), 16 + packedLength(200), true},
    };
    for (const auto& kind : kinds) {
        // Length 0 is the node without bytes, which waits at the head (tested below).
        for (std::size_t length = 1; length < kind.needed; ++length) {
            SCOPED_TRACE(std::string(kind.name) + " cut to " + std::to_string(length));
            LinkFixture f;
            setUpEarlierState(f);
            f.receive(Bytes(kind.message.begin(), kind.message.begin() + length));
            dispatchReplies(f.link);
            EXPECT_TRUE(f.queue.empty());
            // Below 5 bytes there is no command byte to tell a Read Data.
            expectEffect(f, kind.isReadData && length >= 5 ? rejected() : nothing());
        }
    }
}

// The data area is fixed; a reply that would run past it writes nothing.
TEST(Dispatcher, ReadDataBeyondTheBufferIsRejectedUnwritten) {
    const struct {
        const char* name;
        std::size_t room;
        bool fits;
    } cases[] = {
        {"exactly fits", 4, true}, {"one byte too many", 3, false}, {"buffer full", 0, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LinkFixture f;
        setUpEarlierState(f);
        const std::size_t before = ReadBuffer::kCapacity - c.room;
        preload(f.link.readBuffer, Bytes(before, 0x00));
        f.receive(kReadData110);
        dispatchReplies(f.link);

        EXPECT_EQ(handedOver(f), Reply::readData(c.fits));
        EXPECT_EQ(f.link.readBuffer.count(), c.fits ? ReadBuffer::kCapacity : before);
        Bytes tail(c.room);
        f.link.readBuffer.copyData(before, c.room, tail.data());
        EXPECT_EQ(tail, c.fits ? kText110 : Bytes(c.room, 0x00));
    }
}

// A Memory Read leaves: the read buffer's count goes back to 0 and a new exchange begins.
void startRead(LinkFixture& f) {
    ASSERT_TRUE(sendMemoryRead(f.link, kMemoryReadTemplate, 0x04AFFC, 4));
}

// Data bytes are never cleared: a reset count only moves where the next reply lands.
TEST(Dispatcher, ReadDataWritesOnlyItsOwnBytes) {
    LinkFixture f;
    setUpEarlierState(f);
    preload(f.link.readBuffer, Bytes(10, 0xAA));

    startRead(f);
    f.receive(readData(patterned(6, 0x90)));
    dispatchReplies(f.link);
    ASSERT_EQ(handedOver(f), Reply::readData(true));
    EXPECT_EQ(f.link.readBuffer.count(), 6u);
    Bytes data(10);
    f.link.readBuffer.copyData(0, data.size(), data.data());
    Bytes expected = patterned(6, 0x90);
    expected.insert(expected.end(), 4, 0xAA);
    EXPECT_EQ(data, expected) << hex(data);

    // An empty reply is accepted and the reader finds what the earlier read left.
    startRead(f);
    f.receive(readData({}));
    dispatchReplies(f.link);
    ASSERT_EQ(handedOver(f), Reply::readData(true));
    EXPECT_EQ(f.link.readBuffer.count(), 0u);
    EXPECT_EQ(f.link.readBuffer.firstWord(), 0x90 | (0xB5u << 8) | (0xDAu << 16) | (0xFFu << 24));

    // Rejected bytes lie past count: the next accepted reply overwrites them.
    startRead(f);
    f.receive(with(readData(patterned(4, 0x10)), 17, 0x00));
    dispatchReplies(f.link);
    EXPECT_EQ(handedOver(f), Reply::readData(false));
    startRead(f);
    f.receive(kReadData110);
    dispatchReplies(f.link);
    EXPECT_EQ(handedOver(f), Reply::readData(true));
    EXPECT_EQ(f.link.readBuffer.count(), 4u);
    EXPECT_EQ(f.link.readBuffer.firstWord(), 0x30312E31u);
}

const Bytes kIdentityReplyOfTheDevice = {0xF0, 0x7E, 0x00, 0x06, 0x02, 0x52, 0x6E, 0x00,
                                         0x10, 0x00, 0x31, 0x30, 0x30, 0x30, 0xF7};

// One dispatch takes everything queued, oldest first. A request has one answer: the first message
// that may end its wait does; those behind it are not its answer and are not handed over,
// while messages the device sent unasked are still answered.
TEST(Dispatcher, OneDispatchDrainsTheQueueInArrivalOrder) {
    LinkFixture f;
    setUpEarlierState(f);
    f.receive({0xF0, 0x52, 0x00, 0x6E, 0x00, 0x05, 0xF7});
    f.receive(kIdentityReplyOfTheDevice);
    f.receive({0xF0, 0x52, 0x00, 0x6E, 0x06, 0xF7});
    f.receive({0xF0, 0x7E, 0x00, 0x06, 0x01, 0xF7});

    dispatchReplies(f.link);

    EXPECT_TRUE(f.queue.empty());
    EXPECT_EQ(handedOver(f), Reply::status(5));
    EXPECT_FALSE(f.signalled());
    EXPECT_EQ(f.service.sent(), (std::vector<Bytes>{statusAnswer(0x01), kHostIdentityReply}));

    // Later arrivals wait for the next dispatch, and answer the next request.
    ASSERT_TRUE(sendUpdateStart(f.link));
    f.receive({0xF0, 0x52, 0x00, 0x6E, 0x00, 0x0B, 0xF7});
    EXPECT_EQ(handedOver(f), std::nullopt);
    dispatchReplies(f.link);
    EXPECT_EQ(handedOver(f), Reply::status(11));
}

// An answer the worker did not take before its next request left (its wait ran out first)
// is not handed to that request.
TEST(Dispatcher, AnAnswerNotTakenIsGoneOnceTheNextRequestLeaves) {
    LinkFixture f;
    setUpEarlierState(f);
    ASSERT_TRUE(sendUpdateStart(f.link));
    f.receive(statusAnswer(0x00));
    dispatchReplies(f.link);

    startRead(f);
    EXPECT_EQ(handedOver(f), std::nullopt);
    EXPECT_EQ(f.link.takeAnswer(), std::nullopt);
}

// What arrived before a request left is no answer to it, whether the dispatcher had taken it
// already or not yet: it neither ends the wait nor adds to what the worker reads.
TEST(Dispatcher, AMessageQueuedBeforeARequestLeftIsNoAnswerToIt) {
    const std::vector<Bytes> early = {statusAnswer(0x00),
                                      statusAnswer(0x02),
                                      {0xF0, 0x52, 0x00, 0x6E, 0x02, 0xF7},
                                      kReadData110,
                                      kIdentityReplyOfTheDevice};
    for (const Bytes& message : early) {
        SCOPED_TRACE(hex(message));
        LinkFixture f;
        setUpEarlierState(f);
        f.receive(message);
        startRead(f);
        dispatchReplies(f.link);
        EXPECT_TRUE(f.queue.empty());
        EXPECT_EQ(handedOver(f), std::nullopt);
        EXPECT_EQ(f.link.takeAnswer(), std::nullopt);
        EXPECT_EQ(f.link.readBuffer.count(), 0u);

        // The answer that comes after it is taken.
        f.receive(kReadData110);
        dispatchReplies(f.link);
        EXPECT_EQ(handedOver(f), Reply::readData(true));
        EXPECT_EQ(f.link.readBuffer.firstWord(), 0x30312E31u);
    }
}

// An Identity Request sent as a barrier takes nothing but an Identity Reply: every answer
// before it is owed to an earlier request and is dropped.
TEST(Dispatcher, ABarrierTakesOnlyAnIdentityReply) {
    LinkFixture f;
    setUpEarlierState(f);
    ASSERT_TRUE(sendIdentityRequest(f.link, Expect::IdentityReply));
    f.receive(statusAnswer(0x00));
    f.receive(statusAnswer(0x01));
    f.receive({0xF0, 0x52, 0x00, 0x6E, 0x02, 0xF7});
    f.receive(kReadData110);
    dispatchReplies(f.link);
    EXPECT_EQ(handedOver(f), std::nullopt);
    EXPECT_EQ(f.link.readBuffer.count(), 0u);

    f.receive(kIdentityReplyOfTheDevice);
    dispatchReplies(f.link);
    EXPECT_EQ(handedOver(f), Reply::identity(kSupportedIdentity));
}

// The end of the input is passed on once what came before it has been handled.
TEST(Dispatcher, AnInputThatEndedMarksTheDeviceGoneAfterItsLastMessage) {
    LinkFixture f;
    setUpEarlierState(f);
    ASSERT_TRUE(sendUpdateStart(f.link));
    f.receive(statusAnswer(0x00));
    f.queue.markEnded();
    dispatchReplies(f.link);
    EXPECT_TRUE(f.link.deviceGone.load());
    EXPECT_EQ(handedOver(f), Reply::status(0));
}

TEST(Dispatcher, HeadNodeWithoutBytesHoldsBackTheRest) {
    LinkFixture f;
    setUpEarlierState(f);
    if (!f.queue.append(nullptr, 0)) GTEST_SKIP() << "the queue links no node without bytes";
    f.receive({0xF0, 0x52, 0x00, 0x6E, 0x00, 0x0B, 0xF7});

    dispatchReplies(f.link);
    const QueueNode* head = f.queue.head();
    ASSERT_NE(head, nullptr);
    EXPECT_EQ(head->size, 0u);
    ASSERT_NE(head->next, nullptr);
    EXPECT_EQ(handedOver(f), std::nullopt);

    f.queue.popHead();
    dispatchReplies(f.link);
    EXPECT_TRUE(f.queue.empty());
    EXPECT_EQ(handedOver(f), Reply::status(11));
}

// Messages that each trigger an automatic answer.
const std::vector<Bytes> kAnsweredMessages = {
    {0xF0, 0x7E, 0x00, 0x06, 0x01, 0xF7},
    {0xF0, 0x52, 0x00, 0x6E, 0x0A, 0xF7},
    {0xF0, 0x52, 0x00, 0x6E, 0x01, 0xF7},
    {0xF0, 0x7E, 0x00, 0x06, 0x03, 0xF7},
};
const std::vector<Bytes> kAnswers = {kHostIdentityReply, statusAnswer(0x01), statusAnswer(0x00),
                                     statusAnswer(0x01)};

TEST(AutomaticAnswers, LeaveTheRequestBufferAlone) {
    LinkFixture f;
    setUpEarlierState(f);
    f.link.sendBuffer.fill(0x5A);
    for (const Bytes& m : kAnsweredMessages) f.receive(m);
    dispatchReplies(f.link);
    EXPECT_EQ(f.service.sent(), kAnswers);
    for (std::size_t i = 0; i < f.link.sendBuffer.size(); ++i) {
        ASSERT_EQ(f.link.sendBuffer[i], 0x5A) << "request buffer changed at " << i;
    }
}

// The timer thread answers the device while a worker's block is still on the port; the
// block that leaves must be the one the worker built.
TEST(AutomaticAnswers, DoNotDisturbARequestInFlight) {
    LinkFixture f;
    setUpEarlierState(f);
    const Bytes data = patterned(4096, 0x42);
    Bytes expected(writeBlockMessageLength(data.size()));
    ASSERT_EQ(buildWriteBlock(0x6E, data.data(), 0x04B000, 4096, expected), expected.size());

    for (const Bytes& m : kAnsweredMessages) f.receive(m);
    f.service.duringNextSend([&f] {
        std::thread timer([&f] { dispatchReplies(f.link); });
        timer.join();
    });
    ASSERT_TRUE(sendWriteBlock(f.link, 0x6E, data.data(), 0x04B000, 4096));

    std::vector<Bytes> sent = f.service.sent();
    ASSERT_EQ(sent.size(), kAnswers.size() + 1);
    EXPECT_EQ(sent.back(), expected) << "the worker's block was changed while on the port";
    sent.pop_back();
    EXPECT_EQ(sent, kAnswers);
}

// Anything a device may send, of any length, is handled without reading past its end
// (the queue holds exact heap copies, so the sanitizer build catches a stray read).
TEST(Dispatcher, RandomMessagesOfEveryShortLength) {
    std::mt19937 random(99);
    auto byte = [&random] { return static_cast<std::uint8_t>(random()); };
    const std::uint8_t commands[] = {0x00, 0x01, 0x02, 0x03, 0x60, 0x60, 0x60};

    LinkFixture f;
    setUpEarlierState(f);
    for (std::size_t length = 0; length <= 40; ++length) {
        for (int round = 0; round < 400; ++round) {
            Bytes m(length);
            for (auto& b : m) b = byte();
            // Steer most messages past the early exits so every rule meets odd input.
            if (length > 0 && round % 8 != 0) m[0] = 0xF0;
            if (length > 1 && round % 8 != 1) m[1] = round % 3 == 0 ? 0x7E : 0x52;
            if (length > 3 && m[1] == 0x7E && round % 4 != 0) m[3] = 0x06;
            if (length > 4 && m[1] == 0x52 && round % 4 != 0) m[4] = commands[byte() % 7];
            if (length > 5 && round % 5 != 0) m[5] = 0x04;
            if (length > 6 && round % 5 != 1) m[6] = 0x30;
            if (length > 10 && round % 2 == 0) {
                m[9] = byte() % 32;
                m[10] = round % 4 == 0 ? byte() : 0;
            }
            if (length == 0) {
                interpretMessage(f.link, m.data(), 0);  // queued, it would wait at the head
            } else {
                f.receive(m);
            }
        }
        // Whole replies with one byte altered reach the unpacking and the CRC check.
        for (int round = 0; round < 50 && length >= 17; ++round) {
            const std::size_t n = (length - 17) * 7 / 8;
            Bytes m = readData(patterned(n, byte()));
            m[byte() % m.size()] = byte();
            f.receive(m);
        }
        dispatchReplies(f.link);
        ASSERT_TRUE(f.queue.empty());
        ASSERT_LE(f.link.readBuffer.count(), ReadBuffer::kCapacity);
        f.link.readBuffer.reset();
    }
}

}  // namespace
}  // namespace pxr9::testing
