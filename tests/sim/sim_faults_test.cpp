#include <gtest/gtest.h>

#include <algorithm>

#include "protocol/crc32.h"
#include "protocol/seven_bit.h"
#include "sim/sim_device.h"
#include "sim_requests.h"

namespace pxr9::testing {
namespace {

using namespace pxr9::sim;

const Bytes kOk = {0xF0, 0x52, 0x00, 0x6E, 0x00, 0x00, 0xF7};

Bytes statusOf(std::uint8_t value) {
    return {0xF0, 0x52, 0x00, 0x6E, 0x00, value, 0xF7};
}

class SimFaults : public ::testing::Test {
  protected:
    SimFaults() : device(config()) {}
    static SimConfig config() {
        SimConfig c;
        c.timing = TimingModel::instant();
        return c;
    }
    // The answers to `request` at time `now`, as byte strings.
    std::vector<Bytes> send(const Bytes& request, std::uint64_t now = 0) {
        std::vector<Bytes> answers;
        for (auto& m : device.receive(request, now)) answers.push_back(m.bytes);
        return answers;
    }
    bool erased(std::uint32_t address, std::size_t n) const {
        const auto f = device.flash().subspan(address, n);
        return std::all_of(f.begin(), f.end(), [](std::uint8_t b) { return b == 0xFF; });
    }

    SimDevice device;
};

TEST_F(SimFaults, RuleAppliesOnlyToTheOccurrencesItNames) {
    const struct {
        const char* name;
        Occurrences when;
        std::vector<bool> refused;  // for occurrences 1..6
    } cases[] = {
        {"only 2", Occurrences::only(2), {false, true, false, false, false, false}},
        {"2 to 4", Occurrences::range(2, 4), {false, true, true, true, false, false}},
        {"from 5", Occurrences::from(5), {false, false, false, false, true, true}},
        {"every", Occurrences::every(), {true, true, true, true, true, true}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SimDevice d(config());
        d.faults().refuse(RequestKind::UpdateEnd, c.when, 0x09);
        for (std::size_t i = 0; i < c.refused.size(); ++i) {
            // Other kinds do not advance the count of Update End.
            d.receive(updateStart(), 0);
            const auto out = d.receive(updateEnd(), 0);
            ASSERT_EQ(out.size(), 1u);
            EXPECT_EQ(out[0].bytes, c.refused[i] ? statusOf(0x09) : kOk) << "occurrence " << i + 1;
        }
    }
}

TEST_F(SimFaults, FirstMatchingRuleDecides) {
    device.faults().refuse(RequestKind::UpdateStart, Occurrences::only(1), 0x0B);
    device.faults().refuse(RequestKind::UpdateStart, Occurrences::every(), 0x02);
    EXPECT_EQ(send(updateStart()), std::vector<Bytes>{statusOf(0x0B)});
    EXPECT_EQ(send(updateStart()), std::vector<Bytes>{statusOf(0x02)});
}

TEST_F(SimFaults, UpdateStartRefusedAsNotInUpdateMode) {
    device.faults().refuse(RequestKind::UpdateStart, Occurrences::every(), 11);
    EXPECT_EQ(send(updateStart()), std::vector<Bytes>{statusOf(0x0B)});
}

TEST_F(SimFaults, RefusedEraseAndWriteLeaveFlashAsItWas) {
    device.faults().refuse(RequestKind::FlashErase, Occurrences::range(1, 2), 0x01);
    device.faults().refuse(RequestKind::WriteBlock, Occurrences::only(1), 0x02);
    const Bytes before(device.flash().begin() + 0x110000, device.flash().begin() + 0x111000);

    EXPECT_EQ(send(flashErase(0x110000, 0x1000)), std::vector<Bytes>{statusOf(0x01)});
    EXPECT_EQ(send(flashErase(0x110000, 0x1000)), std::vector<Bytes>{statusOf(0x01)});
    EXPECT_TRUE(std::equal(before.begin(), before.end(), device.flash().begin() + 0x110000));
    EXPECT_EQ(send(flashErase(0x110000, 0x1000)), std::vector<Bytes>{kOk});
    EXPECT_TRUE(erased(0x110000, 0x1000));

    const Bytes data = counting(64);
    EXPECT_EQ(send(writeBlock(0x110000, data)), std::vector<Bytes>{statusOf(0x02)});
    EXPECT_TRUE(erased(0x110000, 0x1000));
    EXPECT_EQ(send(writeBlock(0x110000, data)), std::vector<Bytes>{kOk});
    EXPECT_TRUE(std::equal(data.begin(), data.end(), device.flash().begin() + 0x110000));
}

TEST_F(SimFaults, NoAnswerLosesTheRequest) {
    device.faults().noAnswer(RequestKind::FlashErase, Occurrences::only(1));
    device.faults().noAnswer(RequestKind::MemoryRead, Occurrences::only(2));
    const Bytes before(device.flash().begin() + 0x071000, device.flash().begin() + 0x072000);
    EXPECT_TRUE(send(flashErase(0x071000, 0x1000)).empty());
    EXPECT_TRUE(std::equal(before.begin(), before.end(), device.flash().begin() + 0x071000));
    EXPECT_EQ(send(flashErase(0x071000, 0x1000)), std::vector<Bytes>{kOk});

    EXPECT_EQ(send(memoryRead(0x04AFFC)).size(), 1u);
    EXPECT_TRUE(send(memoryRead(0x04AFFC)).empty());
    EXPECT_EQ(send(memoryRead(0x04AFFC)).size(), 1u);
    EXPECT_EQ(device.counts()[RequestKind::MemoryRead], 3u);
}

TEST_F(SimFaults, ReportsAnotherIdentityWord) {
    device.faults().reportIdentity(Occurrences::only(1), 0x00100001);
    const auto first = send(identityRequest());
    ASSERT_EQ(first.size(), 1u);
    EXPECT_EQ(Bytes(first[0].begin() + 6, first[0].begin() + 10), (Bytes{0x01, 0x00, 0x10, 0x00}));
    const auto second = send(identityRequest());
    ASSERT_EQ(second.size(), 1u);
    EXPECT_EQ(Bytes(second[0].begin() + 6, second[0].begin() + 10),
              (Bytes{0x6E, 0x00, 0x10, 0x00}));
    // Status answers keep the device's own modelId.
    EXPECT_EQ(send(updateStart()), std::vector<Bytes>{kOk});
}

TEST_F(SimFaults, DamagedReadData) {
    // The correct reply to a read of the boot stamp "1.00".
    const Bytes good = send(memoryRead(0x04AFFC)).at(0);
    ASSERT_EQ(good.size(), 22u);

    device.faults().badReadCrc(Occurrences::only(2));
    device.faults().wrongReadByte5(Occurrences::only(3), 0x05);
    device.faults().wrongReadByte6(Occurrences::only(4), 0x31);

    const Bytes badCrc = send(memoryRead(0x04AFFC)).at(0);
    ASSERT_EQ(badCrc.size(), 22u);
    EXPECT_TRUE(std::equal(good.begin(), good.begin() + 16, badCrc.begin()));  // same data
    Bytes data(4);
    unpackSevenBit(&badCrc[11], 4, data.data());
    EXPECT_NE(readSevenBitField(&badCrc[16], 5), sysexCrc32(data.data(), 4));
    EXPECT_LE(badCrc[20], 0x0F);  // still a well-formed CRC field

    Bytes expected5 = good;
    expected5[5] = 0x05;
    EXPECT_EQ(send(memoryRead(0x04AFFC)).at(0), expected5);
    Bytes expected6 = good;
    expected6[6] = 0x31;
    EXPECT_EQ(send(memoryRead(0x04AFFC)).at(0), expected6);
    EXPECT_EQ(send(memoryRead(0x04AFFC)).at(0), good);
}

TEST_F(SimFaults, ReadFaultsDoNotTouchOtherKinds) {
    // Kind-specific faults set on the wrong kind through the general entry have no effect.
    device.faults().add({RequestKind::UpdateStart, Occurrences::every(), {FaultType::BadCrc, 0}});
    device.faults().add(
        {RequestKind::MemoryRead, Occurrences::every(), {FaultType::Identity, 0x00100001}});
    EXPECT_EQ(send(updateStart()), std::vector<Bytes>{kOk});
    EXPECT_EQ(send(memoryRead(0x04AFFC)).at(0).size(), 22u);
}

// Extra messages come right behind the real answer, which the request still earns.
TEST_F(SimFaults, TwiceAndStrayAddMessagesBehindTheAnswer) {
    device.faults().twice(RequestKind::WriteBlock, Occurrences::only(1));
    device.faults().stray(RequestKind::WriteBlock, Occurrences::only(2), 0x05);
    device.faults().stray(RequestKind::WriteBlock, Occurrences::only(3), kStrayReadData);
    const Bytes data = counting(8);
    ASSERT_EQ(send(flashErase(0x1CB000, 0x1000)).size(), 1u);
    EXPECT_EQ(send(writeBlock(0x1CB000, data)), (std::vector<Bytes>{kOk, kOk}));
    EXPECT_EQ(send(writeBlock(0x1CB008, data)), (std::vector<Bytes>{kOk, statusOf(0x05)}));
    const auto third = device.receive(writeBlock(0x1CB010, data), 7);
    ASSERT_EQ(third.size(), 2u);
    EXPECT_EQ(third[0].bytes, kOk);
    EXPECT_EQ(third[1].bytes[4], 0x60);  // a Read Data
    EXPECT_EQ(third[1].atMs, third[0].atMs);
    EXPECT_TRUE(std::equal(data.begin(), data.end(), device.flash().begin() + 0x1CB010));
}

TEST_F(SimFaults, SilentDeviceNeverAnswersAgain) {
    device.faults().silent(RequestKind::WriteBlock, Occurrences::only(3));
    const Bytes data = counting(8);
    EXPECT_EQ(send(flashErase(0x1CB000, 0x1000)).size(), 1u);
    EXPECT_EQ(send(writeBlock(0x1CB000, data)).size(), 1u);
    EXPECT_EQ(send(writeBlock(0x1CB008, data)).size(), 1u);
    EXPECT_FALSE(device.silent());
    EXPECT_TRUE(send(writeBlock(0x1CB010, data)).empty());
    EXPECT_TRUE(device.silent());
    EXPECT_TRUE(erased(0x1CB010, 8));  // the block that struck it was not stored

    for (const Bytes& m : {identityRequest(), updateStart(), memoryRead(0),
                           writeBlock(0x1CB018, data), updateEnd()}) {
        EXPECT_TRUE(send(m).empty());
    }
    EXPECT_TRUE(erased(0x1CB018, 8));
    // What arrives is still counted.
    EXPECT_EQ(device.counts()[RequestKind::WriteBlock], 4u);
    EXPECT_EQ(device.counts().requests(), 9u);
}

}  // namespace
}  // namespace pxr9::testing
