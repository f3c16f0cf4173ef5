#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "sim/sim_device.h"
#include "sim_requests.h"

namespace pxr9::testing {
namespace {

using namespace pxr9::sim;

enum class Expect { Ignored, Refused };

struct MalformedCase {
    const char* name;
    Bytes message;
    Expect expect;
};

Bytes withByte(Bytes m, std::size_t index, std::uint8_t value) {
    m[index] = value;
    return m;
}
Bytes without(Bytes m, std::size_t index) {
    m.erase(m.begin() + static_cast<std::ptrdiff_t>(index));
    return m;
}
Bytes withExtra(Bytes m) {
    m.insert(m.end() - 1, 0x00);
    return m;
}

SimConfig instantConfig() {
    SimConfig config;
    config.timing = TimingModel::instant();
    config.refusalStatus = 0x05;
    return config;
}

TEST(SimMalformed, EachBrokenMessageIsIgnoredOrRefusedWithoutTouchingFlash) {
    const Bytes block = writeBlock(0x1CB000, counting(20));
    const MalformedCase cases[] = {
        // Broken frames: not a message at all.
        {"empty", {}, Expect::Ignored},
        {"lone F0", {0xF0}, Expect::Ignored},
        {"F0 F7", {0xF0, 0xF7}, Expect::Ignored},
        {"no F7", without(updateStart(), 5), Expect::Ignored},
        {"no F0", {0x52, 0x00, 0x6E, 0x01, 0xF7}, Expect::Ignored},
        {"byte above 7F inside", withByte(flashErase(0x110000, 0x1000), 7, 0x80), Expect::Ignored},
        {"F7 inside write block", withByte(block, 14, 0xF7), Expect::Ignored},
        {"short maker message", {0xF0, 0x52, 0x00, 0x6E, 0xF7}, Expect::Ignored},
        // Messages the device does not serve.
        {"another maker", {0xF0, 0x41, 0x00, 0x6E, 0x01, 0xF7}, Expect::Ignored},
        {"byte 2 not 00", withByte(updateStart(), 2, 0x01), Expect::Ignored},
        {"command 03", {0xF0, 0x52, 0x00, 0x6E, 0x03, 0xF7}, Expect::Ignored},
        {"command 05", {0xF0, 0x52, 0x00, 0x6E, 0x05, 0xF7}, Expect::Ignored},
        {"command 7F", {0xF0, 0x52, 0x00, 0x6E, 0x7F, 0xF7}, Expect::Ignored},
        {"read data sent to the device", withByte(memoryRead(0), 5, 0x04), Expect::Ignored},
        {"identity request for device 01", withByte(identityRequest(), 2, 0x01), Expect::Ignored},
        {"identity request too long", withExtra(identityRequest()), Expect::Ignored},
        {"general information 06 03", withByte(identityRequest(), 4, 0x03), Expect::Ignored},
        {"universal, 5 bytes", {0xF0, 0x7E, 0x00, 0x06, 0xF7}, Expect::Ignored},
        // Requests whose layout is wrong: refused, as a device that understood the command.
        {"update start too long", withExtra(updateStart()), Expect::Refused},
        {"update end too long", withExtra(updateEnd()), Expect::Refused},
        {"erase truncated", without(flashErase(0x110000, 0x1000), 14), Expect::Refused},
        {"erase too long", withExtra(flashErase(0x110000, 0x1000)), Expect::Refused},
        {"read truncated", without(memoryRead(0x04AFFC), 15), Expect::Refused},
        {"read too long", withExtra(memoryRead(0x04AFFC)), Expect::Refused},
        {"read with byte 5 not 30", withByte(memoryRead(0x04AFFC), 5, 0x31), Expect::Refused},
        {"read, 6 bytes", {0xF0, 0x52, 0x00, 0x6E, 0x60, 0xF7}, Expect::Refused},
        {"write, header only", {0xF0, 0x52, 0x00, 0x6E, 0x02, 0xF7}, Expect::Refused},
        {"write missing a data byte", without(block, 20), Expect::Refused},
        {"write with a byte extra", withExtra(block), Expect::Refused},
        {"write claiming more data than sent", withByte(block, 10, 0x7F), Expect::Refused},
        {"write claiming 16383 bytes", withByte(withByte(block, 10, 0x7F), 11, 0x7F),
         Expect::Refused},
        {"write of no bytes", writeBlock(0x1CB000, Bytes{}), Expect::Refused},
        {"write with a damaged data byte", withByte(block, 20, 0x55), Expect::Refused},
    };
    // One device takes them all: none may change its flash or stop it from serving.
    SimDevice device(instantConfig());
    const std::vector<std::uint8_t> before(device.flash().begin(), device.flash().end());
    for (const MalformedCase& c : cases) {
        SCOPED_TRACE(c.name);
        const RequestCounts counts = device.counts();
        const auto out = device.receive(c.message.data(), c.message.size(), 0);
        if (c.expect == Expect::Ignored) {
            EXPECT_TRUE(out.empty());
            EXPECT_EQ(device.counts().ignored, counts.ignored + 1);
            EXPECT_EQ(device.counts().requests(), counts.requests());
        } else {
            ASSERT_EQ(out.size(), 1u);
            EXPECT_EQ(out[0].bytes, (Bytes{0xF0, 0x52, 0x00, 0x6E, 0x00, 0x05, 0xF7}));
            EXPECT_EQ(device.counts().requests(), counts.requests() + 1);
        }
        EXPECT_TRUE(std::equal(before.begin(), before.end(), device.flash().begin()));
    }
    const auto stillServing = device.receive(updateStart(), 0);
    ASSERT_EQ(stillServing.size(), 1u);
    EXPECT_EQ(stillServing[0].bytes, (Bytes{0xF0, 0x52, 0x00, 0x6E, 0x00, 0x00, 0xF7}));
}

TEST(SimMalformed, NullPointerIsAnEmptyMessage) {
    SimDevice device(instantConfig());
    EXPECT_TRUE(device.receive(nullptr, 17, 0).empty());
    EXPECT_EQ(device.counts().ignored, 1u);
}

// Every prefix of every request, and every request with one byte changed to each value,
// is taken without a crash or an out-of-bounds access (the sanitizer builds watch this)
// and gets at most one answer.
TEST(SimMalformed, TruncatedAndMutatedRequestsNeverCrash) {
    SimDevice device(instantConfig());
    const Bytes requests[] = {
        identityRequest(),
        updateStart(),
        updateEnd(),
        flashErase(0xFFF000, 0x1000),
        memoryRead(0xFFFFFC, 4),
        writeBlock(0xFFFFF0, counting(16, 0xF8)),
    };
    for (const Bytes& request : requests) {
        for (std::size_t n = 0; n <= request.size(); ++n) {
            EXPECT_LE(device.receive(request.data(), n, 0).size(), 1u);
        }
        for (std::size_t i = 0; i < request.size(); ++i) {
            for (int v = 0; v < 256; ++v) {
                const Bytes m = withByte(request, i, static_cast<std::uint8_t>(v));
                EXPECT_LE(device.receive(m, 0).size(), 1u);
            }
        }
    }
}

TEST(SimMalformed, RandomMessagesNeverCrash) {
    SimDevice device(instantConfig());
    std::mt19937 random(12345);
    std::uniform_int_distribution<int> byte(0, 0x7F);
    std::uniform_int_distribution<int> length(0, 64);
    const std::uint8_t heads[][5] = {{0xF0, 0x52, 0x00, 0x6E, 0x02},
                                     {0xF0, 0x52, 0x00, 0x6E, 0x60},
                                     {0xF0, 0x52, 0x00, 0x6E, 0x0A},
                                     {0xF0, 0x7E, 0x00, 0x06, 0x01}};
    for (int round = 0; round < 20000; ++round) {
        const auto& head = heads[round % 4];
        Bytes m(head, head + 5);
        const int extra = length(random);
        for (int i = 0; i < extra; ++i) m.push_back(static_cast<std::uint8_t>(byte(random)));
        m.push_back(0xF7);
        EXPECT_LE(device.receive(m, 0).size(), 1u);
    }
}

}  // namespace
}  // namespace pxr9::testing
