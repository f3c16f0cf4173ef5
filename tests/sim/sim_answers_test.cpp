#include <gtest/gtest.h>

#include <algorithm>

#include "sim/flash_contents.h"
#include "sim/sim_device.h"
#include "sim_requests.h"

namespace pxr9::testing {
namespace {

using namespace pxr9::sim;

Bytes withFifthByte(Bytes m, std::size_t index, std::uint8_t value) {
    m[index] = value;
    return m;
}

SimConfig instantConfig() {
    SimConfig config;
    config.timing = TimingModel::instant();
    return config;
}

class SimAnswers : public ::testing::Test {
  protected:
    // The single answer to `request`; fails the test when there is not exactly one.
    Bytes answer(const Bytes& request) {
        auto out = device.receive(request.data(), request.size(), 0);
        EXPECT_EQ(out.size(), 1u);
        return out.empty() ? Bytes{} : out.front().bytes;
    }
    std::span<const std::uint8_t> flashAt(std::uint32_t address, std::size_t n) const {
        return device.flash().subspan(address, n);
    }
    Bytes initialAt(std::uint32_t address, std::size_t n) const {
        Bytes b(n);
        for (std::size_t i = 0; i < n; ++i) {
            b[i] = initialFlashByte(device.config(), address + static_cast<std::uint32_t>(i));
        }
        return b;
    }

    SimDevice device{instantConfig()};
    const Bytes ok = {0xF0, 0x52, 0x00, 0x6E, 0x00, 0x00, 0xF7};
    const Bytes refused = {0xF0, 0x52, 0x00, 0x6E, 0x00, 0x01, 0xF7};
};

TEST_F(SimAnswers, IdentityRequestGetsTheIdentityReply) {
    const Bytes reply = answer(identityRequest());
    ASSERT_EQ(reply.size(), 15u);
    EXPECT_EQ(Bytes(reply.begin(), reply.begin() + 10),
              (Bytes{0xF0, 0x7E, 0x00, 0x06, 0x02, 0x52, 0x6E, 0x00, 0x10, 0x00}));
    EXPECT_EQ(reply.back(), 0xF7);
    // The all-call device ID is served too.
    EXPECT_EQ(answer({0xF0, 0x7E, 0x7F, 0x06, 0x01, 0xF7}), reply);
}

TEST_F(SimAnswers, StatusAnswersCarryTheModelIdOfTheConfiguredIdentity) {
    SimConfig config = instantConfig();
    config.identity = 0x00100021;
    SimDevice other(config);
    const auto out = other.receive(updateStart(), 0);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].bytes, (Bytes{0xF0, 0x52, 0x00, 0x21, 0x00, 0x00, 0xF7}));
}

TEST_F(SimAnswers, UpdateStartAndEndAreAcknowledged) {
    EXPECT_EQ(answer(updateStart()), ok);
    EXPECT_EQ(answer(updateEnd()), ok);
    // Whatever modelId the host sends, the device answers with its own.
    EXPECT_EQ(answer(updateStart(0x00)), ok);
}

TEST_F(SimAnswers, MemoryReadReturnsTheSystemStampAsReadData) {
    const Bytes expected = {0xF0, 0x52, 0x00, 0x6E, 0x60, 0x04, 0x30, 0x00, 0x00, 0x04, 0x00,
                            0x00, 0x31, 0x2E, 0x31, 0x30, 0x53, 0x47, 0x6F, 0x23, 0x04, 0xF7};
    EXPECT_EQ(answer({0xF0, 0x52, 0x00, 0x6E, 0x60, 0x30, 0x60, 0x1F, 0x44, 0x00, 0x00, 0x04, 0x00,
                      0x00, 0x00, 0x00, 0xF7}),
              expected);
}

TEST_F(SimAnswers, StampsAreHeldAtTheirAddresses) {
    SimConfig config = instantConfig();
    config.stamps = {makeStamp("2.01"), makeStamp("3.02"), makeStamp("4.03")};
    SimDevice device(config);
    const struct {
        std::uint32_t address;
        const char* text;
    } cases[] = {{0x04AFFC, "2.01"}, {0x070FFC, "3.02"}, {0x110FE0, "4.03"}};
    for (const auto& c : cases) {
        const auto out = device.receive(memoryRead(c.address), 0);
        ASSERT_EQ(out.size(), 1u);
        const Bytes& r = out[0].bytes;
        ASSERT_EQ(r.size(), 22u);
        // One packed group: header byte, then the four ASCII bytes.
        EXPECT_EQ(std::string(r.begin() + 12, r.begin() + 16), c.text) << std::hex << c.address;
        EXPECT_EQ(r[11], 0x00);
    }
}

TEST_F(SimAnswers, ReadDataPacksHighBytesAndCarriesTheirCrc) {
    // Eight bytes with top bits set, written into erased flash and read back.
    const Bytes data = {0x80, 0x01, 0xFF, 0x00, 0x00, 0x00, 0x81, 0xC0};
    ASSERT_EQ(answer(flashErase(0x1CB000, 0x1000)), ok);
    ASSERT_EQ(answer(writeBlock(0x1CB000, data)), ok);
    const Bytes expected = {0xF0, 0x52, 0x00, 0x6E, 0x60, 0x04, 0x30, 0x00, 0x00,
                            0x08, 0x00, 0x51, 0x00, 0x01, 0x7F, 0x00, 0x00, 0x00,
                            0x01, 0x40, 0x40, 0x0E, 0x5D, 0x25, 0x15, 0x03, 0xF7};
    EXPECT_EQ(answer(memoryRead(0x1CB000, 8)), expected);
}

TEST_F(SimAnswers, ReadOfNoBytesCarriesTheEmptyCrc) {
    EXPECT_EQ(answer(memoryRead(0x000000, 0)),
              (Bytes{0xF0, 0x52, 0x00, 0x6E, 0x60, 0x04, 0x30, 0x00, 0x00, 0x00, 0x00, 0x7F, 0x7F,
                     0x7F, 0x7F, 0x0F, 0xF7}));
}

TEST_F(SimAnswers, EraseWriteAndReadBack) {
    // "abc" at 0x04B000, exactly as the host sends it.
    const Bytes abcBlock = {0xF0, 0x52, 0x00, 0x6E, 0x02, 0x00, 0x60, 0x12, 0x00, 0x00, 0x03,
                            0x00, 0x00, 0x61, 0x62, 0x63, 0x3D, 0x7C, 0x6E, 0x56, 0x0C, 0xF7};
    // Flash Erase of the preset region: 0x04B000, 0x26000 bytes.
    EXPECT_EQ(answer({0xF0, 0x52, 0x00, 0x6E, 0x0A, 0x00, 0x60, 0x12, 0x00, 0x00, 0x00, 0x40, 0x09,
                      0x00, 0x00, 0xF7}),
              ok);
    EXPECT_TRUE(std::all_of(flashAt(0x04B000, 0x26000).begin(), flashAt(0x04B000, 0x26000).end(),
                            [](std::uint8_t b) { return b == 0xFF; }));
    EXPECT_EQ(answer(abcBlock), ok);
    EXPECT_EQ(Bytes(flashAt(0x04B000, 4).begin(), flashAt(0x04B000, 4).end()),
              (Bytes{0x61, 0x62, 0x63, 0xFF}));

    const Bytes block = counting(4096, 7);
    EXPECT_EQ(answer(writeBlock(0x04C000, block)), ok);
    const Bytes reply = answer(memoryRead(0x04C000, 4096));
    ASSERT_EQ(reply.size(), 4096u + 586u + 17u);
    Bytes back(4096);
    unpackSevenBit(&reply[11], 4096, back.data());
    EXPECT_EQ(back, block);
    // Neighbours outside the erased region are untouched.
    EXPECT_EQ(Bytes(flashAt(0x04AFF0, 16).begin(), flashAt(0x04AFF0, 16).end()),
              initialAt(0x04AFF0, 16));
    EXPECT_EQ(Bytes(flashAt(0x071000, 16).begin(), flashAt(0x071000, 16).end()),
              initialAt(0x071000, 16));
}

TEST_F(SimAnswers, WriteWithBadCrcIsRefusedAndStoresNothing) {
    ASSERT_EQ(answer(flashErase(0x071000, 0x1000)), ok);
    const Bytes data = counting(100);
    const std::uint32_t wrongCrc = sysexCrc32(data.data(), data.size()) ^ 0x00010000u;
    EXPECT_EQ(answer(writeBlock(0x071000, data, &wrongCrc)), refused);
    EXPECT_TRUE(std::all_of(flashAt(0x071000, 0x1000).begin(), flashAt(0x071000, 0x1000).end(),
                            [](std::uint8_t b) { return b == 0xFF; }));
    // The same block sent again with the right CRC is stored.
    EXPECT_EQ(answer(writeBlock(0x071000, data)), ok);
    EXPECT_EQ(Bytes(flashAt(0x071000, 100).begin(), flashAt(0x071000, 100).end()), data);
}

TEST_F(SimAnswers, WriteOverUnerasedFlashCanOnlyClearBits) {
    const Bytes data = {0xFF, 0x0F, 0x00, 0xAA};
    const Bytes before = initialAt(0x200000, 4);
    EXPECT_EQ(answer(writeBlock(0x200000, data)), ok);
    for (std::size_t i = 0; i < data.size(); ++i) {
        EXPECT_EQ(flashAt(0x200000, 4)[i], before[i] & data[i]) << i;
    }

    SimConfig config = instantConfig();
    config.programClearsBitsOnly = false;
    SimDevice overwriting(config);
    overwriting.receive(writeBlock(0x200000, data), 0);
    EXPECT_EQ(Bytes(overwriting.flash().begin() + 0x200000, overwriting.flash().begin() + 0x200004),
              data);
}

TEST_F(SimAnswers, RangesPastTheEndOfFlashAreRefusedAndChangeNothing) {
    const Bytes four = counting(4);
    const struct {
        const char* name;
        Bytes request;
    } cases[] = {
        {"erase past end", flashErase(0xFFF000, 0x2000)},
        {"erase starting at end", flashErase(0x1000000, 1)},
        {"erase of no bytes", flashErase(0x110000, 0)},
        {"erase wrapping 32 bits", flashErase(0xFFFFFFF0u, 0x20)},
        {"write crossing end", writeBlock(0xFFFFFE, four)},
        {"write wrapping 32 bits", writeBlock(0xFFFFFFFEu, four)},
        {"read crossing end", memoryRead(0xFFFFFE, 4)},
        {"read too long for its reply", memoryRead(0, 16384)},
        {"read at huge address", memoryRead(0xFFFFFFFCu, 4)},
        // Fields beyond 32 bits must not be cut down to a low address: 2^32 + 0x04AFFC.
        {"read past 32 bits", withFifthByte(memoryRead(0x04AFFC), 10, 0x10)},
        {"erase past 32 bits", withFifthByte(flashErase(0, 0x1000), 9, 0x10)},
        {"erase size past 32 bits", withFifthByte(flashErase(0, 0x1000), 14, 0x10)},
        {"write past 32 bits", withFifthByte(writeBlock(0, four), 9, 0x10)},
    };
    const Bytes before(device.flash().begin(), device.flash().end());
    for (const auto& c : cases) {
        EXPECT_EQ(answer(c.request), refused) << c.name;
    }
    EXPECT_TRUE(std::equal(before.begin(), before.end(), device.flash().begin()));
}

TEST_F(SimAnswers, LastBytesOfFlashCanBeErasedWrittenAndRead) {
    EXPECT_EQ(answer(flashErase(0xFFF000, 0x1000)), ok);
    EXPECT_EQ(answer(writeBlock(0xFFFFFC, Bytes{1, 2, 3, 4})), ok);
    const Bytes reply = answer(memoryRead(0xFFFFFC, 4));
    ASSERT_EQ(reply.size(), 22u);
    EXPECT_EQ(Bytes(reply.begin() + 12, reply.begin() + 16), (Bytes{1, 2, 3, 4}));
}

TEST_F(SimAnswers, HostMessagesThatAreNoRequestGetNoAnswer) {
    const Bytes cases[] = {
        status(0x00),
        status(0x01),
        // The host's own Identity Reply, before and after it accepted a device.
        {0xF0, 0x7E, 0x00, 0x06, 0x02, 0x52, 0x00, 0x00, 0x00, 0x00, 0x31, 0x30, 0x30, 0x30, 0xF7},
        {0xF0, 0x7E, 0x00, 0x06, 0x02, 0x52, 0x6E, 0x00, 0x10, 0x00, 0x31, 0x30, 0x30, 0x30, 0xF7},
    };
    for (const Bytes& m : cases) EXPECT_TRUE(device.receive(m, 0).empty());
    EXPECT_EQ(device.counts().ignored, 4u);
    EXPECT_EQ(device.counts().requests(), 0u);
}

TEST_F(SimAnswers, CountsEachRequestKind) {
    answer(identityRequest());
    answer(updateStart());
    answer(flashErase(0x110000, 0x1000));
    answer(writeBlock(0x110000, counting(10)));
    answer(writeBlock(0x110010, counting(10)));
    answer(memoryRead(0x04AFFC));
    answer(updateEnd());
    const RequestCounts& c = device.counts();
    EXPECT_EQ(c[RequestKind::IdentityRequest], 1u);
    EXPECT_EQ(c[RequestKind::UpdateStart], 1u);
    EXPECT_EQ(c[RequestKind::FlashErase], 1u);
    EXPECT_EQ(c[RequestKind::WriteBlock], 2u);
    EXPECT_EQ(c[RequestKind::MemoryRead], 1u);
    EXPECT_EQ(c[RequestKind::UpdateEnd], 1u);
    EXPECT_EQ(c.requests(), 7u);
}

TEST(SimConfigChecks, RejectsValuesTheDeviceCouldNotSend) {
    SimConfig highIdentityByte;
    highIdentityByte.identity = 0x00100080;
    EXPECT_THROW(SimDevice{highIdentityByte}, std::invalid_argument);
    SimConfig zeroRefusal;
    zeroRefusal.refusalStatus = 0;
    EXPECT_THROW(SimDevice{zeroRefusal}, std::invalid_argument);
    SimConfig highRefusal;
    highRefusal.refusalStatus = 0x80;
    EXPECT_THROW(SimDevice{highRefusal}, std::invalid_argument);
}

}  // namespace
}  // namespace pxr9::testing
