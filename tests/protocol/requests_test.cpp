#include "protocol/requests.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <vector>

#include "protocol/crc32.h"
#include "protocol/dispatcher.h"
#include "protocol/seven_bit.h"
#include "tests/doubles/link_fixture.h"

namespace pxr9::testing {
namespace {

constexpr std::uint32_t kSupportedIdentity = 0x0010006E;
const Bytes kAbc = {0x61, 0x62, 0x63};

// What leaves the port, either from a request of a worker or as an automatic answer.
struct SentCase {
    const char* name;
    std::uint32_t currentIdentity;  // source of modelId
    std::uint32_t hostIdentity;     // bytes 6..9 of the host's Identity Reply
    std::function<void(LinkFixture&)> act;
    Bytes expected;
};

void expectSent(bool result) {
    EXPECT_TRUE(result) << "send reported failure";
}

const std::vector<SentCase>& sentCases() {
    static const std::vector<SentCase> cases = {
        {"identity request",
         0,
         0,
         [](LinkFixture& f) { expectSent(sendIdentityRequest(f.link)); },
         {0xF0, 0x7E, 0x00, 0x06, 0x01, 0xF7}},
        {"update start",
         kSupportedIdentity,
         0,
         [](LinkFixture& f) { expectSent(sendUpdateStart(f.link)); },
         {0xF0, 0x52, 0x00, 0x6E, 0x01, 0xF7}},
        {"update end",
         kSupportedIdentity,
         0,
         [](LinkFixture& f) { expectSent(sendUpdateEnd(f.link)); },
         {0xF0, 0x52, 0x00, 0x6E, 0x04, 0xF7}},
        {"flash erase 4096 at 0x110000",
         kSupportedIdentity,
         0,
         [](LinkFixture& f) { expectSent(sendFlashErase(f.link, 0x110000, 4096)); },
         {0xF0, 0x52, 0x00, 0x6E, 0x0A, 0x00, 0x00, 0x44, 0x00, 0x00, 0x00, 0x20, 0x00, 0x00, 0x00,
          0xF7}},
        {"memory read at 0x070FFC",
         kSupportedIdentity,
         0,
         [](LinkFixture& f) {
             expectSent(sendMemoryRead(f.link, kMemoryReadTemplate, 0x070FFC, 4));
         },
         {0xF0, 0x52, 0x00, 0x6E, 0x60, 0x30, 0x7C, 0x1F, 0x1C, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00,
          0x00, 0xF7}},
        {"memory read at 0x04AFFC",
         kSupportedIdentity,
         0,
         [](LinkFixture& f) {
             expectSent(sendMemoryRead(f.link, kMemoryReadTemplate, 0x04AFFC, 4));
         },
         {0xF0, 0x52, 0x00, 0x6E, 0x60, 0x30, 0x7C, 0x5F, 0x12, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00,
          0x00, 0xF7}},
        {"memory read at 0x110FE0",
         kSupportedIdentity,
         0,
         [](LinkFixture& f) {
             expectSent(sendMemoryRead(f.link, kMemoryReadTemplate, 0x110FE0, 4));
         },
         {0xF0, 0x52, 0x00, 0x6E, 0x60, 0x30, 0x60, 0x1F, 0x44, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00,
          0x00, 0xF7}},
        // The caller's model byte is used, not the current identity's.
        {"write block abc at 0x04B000",
         0,
         0,
         [](LinkFixture& f) { expectSent(sendWriteBlock(f.link, 0x6E, kAbc.data(), 0x04B000, 3)); },
         {0xF0, 0x52, 0x00, 0x6E, 0x02, 0x00, 0x60, 0x12, 0x00, 0x00, 0x03,
          0x00, 0x00, 0x61, 0x62, 0x63, 0x3D, 0x7C, 0x6E, 0x56, 0x0C, 0xF7}},
        {"automatic status before any identity check",
         0,
         0,
         [](LinkFixture& f) {
             f.receive({0xF0, 0x52, 0x00, 0x6E, 0x06, 0xF7});
             dispatchReplies(f.link);
         },
         {0xF0, 0x52, 0x00, 0x00, 0x00, 0x01, 0xF7}},
        {"automatic status after a rejected identity",
         0x00230041,
         0,
         [](LinkFixture& f) {
             f.receive({0xF0, 0x52, 0x00, 0x6E, 0x06, 0xF7});
             dispatchReplies(f.link);
         },
         {0xF0, 0x52, 0x00, 0x41, 0x00, 0x01, 0xF7}},
        {"host identity reply before acceptance",
         kSupportedIdentity,
         0,
         [](LinkFixture& f) {
             f.receive({0xF0, 0x7E, 0x00, 0x06, 0x01, 0xF7});
             dispatchReplies(f.link);
         },
         {0xF0, 0x7E, 0x00, 0x06, 0x02, 0x52, 0x00, 0x00, 0x00, 0x00, 0x31, 0x30, 0x30, 0x30,
          0xF7}},
        {"host identity reply after acceptance",
         kSupportedIdentity,
         kSupportedIdentity,
         [](LinkFixture& f) {
             f.receive({0xF0, 0x7E, 0x00, 0x06, 0x01, 0xF7});
             dispatchReplies(f.link);
         },
         {0xF0, 0x7E, 0x00, 0x06, 0x02, 0x52, 0x6E, 0x00, 0x10, 0x00, 0x31, 0x30, 0x30, 0x30,
          0xF7}},
    };
    return cases;
}

TEST(SentMessages, MatchTheCatalogueByteForByte) {
    for (const SentCase& c : sentCases()) {
        SCOPED_TRACE(c.name);
        LinkFixture f;
        f.link.currentIdentity = c.currentIdentity;
        f.link.hostIdentity = c.hostIdentity;
        c.act(f);
        const auto sent = f.service.sent();
        ASSERT_EQ(sent.size(), 1u);
        EXPECT_EQ(sent[0], c.expected) << hex(sent[0]);
    }
}

// Splits a sent Write Block into its fields and checks each against the raw data.
void expectWriteBlock(const Bytes& m, const Bytes& data, std::uint32_t address) {
    const std::size_t p = packedLength(data.size());
    ASSERT_EQ(m.size(), p + 18);
    EXPECT_EQ((Bytes{m[0], m[1], m[2], m[3], m[4]}), (Bytes{0xF0, 0x52, 0x00, 0x6E, 0x02}));
    EXPECT_EQ(readSevenBitField(&m[5], 5), address);
    EXPECT_EQ(readSevenBitField(&m[10], 2), data.size());
    Bytes unpacked(data.size());
    unpackSevenBit(&m[12], data.size(), unpacked.data());
    EXPECT_EQ(unpacked, data);
    EXPECT_EQ(readSevenBitField(&m[12 + p], 5), sysexCrc32(data.data(), data.size()));
    EXPECT_EQ(m.back(), 0xF7);
    for (std::size_t i = 1; i + 1 < m.size(); ++i) {
        ASSERT_LT(m[i], 0x80) << "at index " << i;
    }
}

TEST(SentMessages, WriteBlockLengthsAndFields) {
    const std::pair<std::uint32_t, std::size_t> cases[] = {
        {1, 20}, {6, 25}, {7, 26}, {8, 28}, {4096, 4700}, {16383, 18742},
    };
    std::mt19937 random(7);
    for (const auto& [n, length] : cases) {
        SCOPED_TRACE(n);
        LinkFixture f;
        Bytes data(n);
        for (auto& b : data) b = static_cast<std::uint8_t>(random());
        ASSERT_TRUE(sendWriteBlock(f.link, 0x6E, data.data(), 0x7F0000, n));
        const auto sent = f.service.sent();
        ASSERT_EQ(sent.size(), 1u);
        EXPECT_EQ(sent[0].size(), length);
        EXPECT_EQ(writeBlockMessageLength(n), length);
        expectWriteBlock(sent[0], data, 0x7F0000);
    }
}

TEST(SentMessages, WriteBlockRefusesWhatCannotBeALengthField) {
    const Bytes data(16384, 0x11);
    const struct {
        const char* name;
        const std::uint8_t* data;
        std::uint32_t length;
    } cases[] = {
        {"length 0", data.data(), 0},
        {"length 16384", data.data(), 16384},
        {"length far too large", data.data(), 0xFFFFFFFFu},
        {"no data", nullptr, 4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LinkFixture f;
        EXPECT_FALSE(sendWriteBlock(f.link, 0x6E, c.data, 0, c.length));
        EXPECT_TRUE(f.service.sent().empty());
    }
}

// Every send operation reports a message that did not leave.
TEST(SentMessages, FailedSendsReportFalse) {
    const struct {
        const char* name;
        std::function<bool(DeviceLink&)> send;
    } operations[] = {
        {"identity request", [](DeviceLink& l) { return sendIdentityRequest(l); }},
        {"update start", [](DeviceLink& l) { return sendUpdateStart(l); }},
        {"flash erase", [](DeviceLink& l) { return sendFlashErase(l, 0, 4096); }},
        {"write block",
         [](DeviceLink& l) { return sendWriteBlock(l, 0x6E, kAbc.data(), 0x04B000, 3); }},
        {"update end", [](DeviceLink& l) { return sendUpdateEnd(l); }},
        {"memory read",
         [](DeviceLink& l) { return sendMemoryRead(l, kMemoryReadTemplate, 0x04AFFC, 4); }},
        {"identity reply", [](DeviceLink& l) { return sendIdentityReply(l); }},
        {"status", [](DeviceLink& l) { return sendStatus(l, 0x01); }},
    };
    for (const auto& op : operations) {
        SCOPED_TRACE(op.name);
        {
            LinkFixture closed;
            closed.port.close();
            EXPECT_FALSE(op.send(closed.link)) << "closed port";
            EXPECT_TRUE(closed.service.sent().empty());
        }
        {
            LinkFixture refused;
            refused.service.setSend(FakeOutputBackend::Send::Refused);
            EXPECT_FALSE(op.send(refused.link)) << "platform refused";
            EXPECT_TRUE(refused.service.sent().empty());
        }
    }
}

}  // namespace
}  // namespace pxr9::testing
