#include <gtest/gtest.h>

#include "sim/sim_device.h"
#include "sim_requests.h"

namespace pxr9::testing {
namespace {

using namespace pxr9::sim;

SimConfig withTiming(TimingModel timing) {
    SimConfig config;
    config.timing = timing;
    return config;
}

std::uint64_t leavesAt(SimDevice& device, const Bytes& request, std::uint64_t nowMs) {
    const auto out = device.receive(request, nowMs);
    EXPECT_EQ(out.size(), 1u);
    return out.empty() ? 0 : out[0].atMs;
}

TEST(SimTiming, InstantDeviceAnswersAtArrival) {
    SimDevice device(withTiming(TimingModel::instant()));
    EXPECT_EQ(leavesAt(device, identityRequest(), 0), 0u);
    EXPECT_EQ(leavesAt(device, flashErase(0x1CB000, 0xE35000), 10), 10u);
    EXPECT_EQ(leavesAt(device, writeBlock(0x1CB000, counting(4096)), 10), 10u);
    EXPECT_EQ(leavesAt(device, memoryRead(0x1CB000), 123456), 123456u);
}

TEST(SimTiming, EachRequestTakesItsWorkPlusLatency) {
    // 2 us per erased byte, 5 ms per block, 3 ms latency.
    const TimingModel model{2000, 5000, 3000};
    const struct {
        const char* name;
        Bytes request;
        std::uint64_t expectedMs;  // arriving at 1000 on an idle device
    } cases[] = {
        {"identity", identityRequest(), 1003},
        {"update start", updateStart(), 1003},
        {"erase 4096 bytes: 8.192 ms", flashErase(0x110000, 0x1000), 1000 + 12},
        {"erase 1 MiB: 2097.152 ms", flashErase(0x200000, 0x100000), 1000 + 2101},
        {"write block", writeBlock(0x200000, counting(4096)), 1008},
        {"read", memoryRead(0x04AFFC), 1003},
        {"refused erase does no work", flashErase(0xFFF000, 0x2000), 1003},
        {"write with bad CRC is not programmed",
         writeBlock(0, counting(3), std::array<std::uint32_t, 1>{0}.data()), 1003},
        {"update end", updateEnd(), 1003},
    };
    for (const auto& c : cases) {
        SimDevice device(withTiming(model));
        EXPECT_EQ(leavesAt(device, c.request, 1000), c.expectedMs) << c.name;
    }
}

TEST(SimTiming, BusyDeviceQueuesWork) {
    SimDevice device(withTiming({1000, 2000, 1000}));
    // 1 MiB erase: 1048.576 ms of work, answer at 1049.576 -> leaves at 1050.
    EXPECT_EQ(leavesAt(device, flashErase(0x200000, 0x100000), 0), 1050u);
    // Arrives while busy: starts at 1049.576, answer at 1050.576.
    EXPECT_EQ(leavesAt(device, memoryRead(0x04AFFC), 10), 1051u);
    // Arrives after the device fell idle: timed from its arrival.
    EXPECT_EQ(leavesAt(device, updateEnd(), 5000), 5001u);
}

TEST(SimTiming, LateAnswerDelaysAndKeepsOrder) {
    SimDevice device(withTiming({0, 2000, 1000}));
    device.faults().late(RequestKind::WriteBlock, Occurrences::only(1), 1500);
    const Bytes data = counting(16);
    EXPECT_EQ(leavesAt(device, writeBlock(0x200000, data), 100), 100u + 3 + 1500);
    // The next request, sent early, still leaves after the late answer.
    EXPECT_EQ(leavesAt(device, writeBlock(0x200010, data), 200), 1603u + 3);
}

TEST(SimTiming, LostRequestLeavesTheDeviceIdle) {
    SimDevice device(withTiming({0, 2000, 1000}));
    device.faults().noAnswer(RequestKind::WriteBlock, Occurrences::only(1));
    EXPECT_TRUE(device.receive(writeBlock(0, counting(4)), 100).empty());
    EXPECT_EQ(leavesAt(device, updateEnd(), 100), 101u);
}

// The default model stands for a real device: a whole update, region by region in 4096-byte
// blocks, keeps every answer inside the host's wait limits (erase 120 s, write 1 s, others
// 30 s) and stays under 30 s of virtual time when the host sends each request as soon as
// the previous answer arrives.
TEST(SimTiming, DefaultModelFitsTheHostLimits) {
    SimDevice device;
    std::uint64_t now = 0;
    std::uint64_t longestEraseMs = 0;
    std::uint64_t longestWriteMs = 0;
    const auto exchange = [&](const Bytes& request) {
        const std::uint64_t at = leavesAt(device, request, now);
        const std::uint64_t took = at - now;
        now = at;
        return took;
    };
    exchange(identityRequest());
    exchange(updateStart());
    exchange(memoryRead(0x04AFFC));
    const struct {
        std::uint32_t address, size, written;
    } regions[] = {{0x110000, 0x1000, 0},        {0x04B000, 0x26000, 0x26000},
                   {0x071000, 0x9F000, 0x89150}, {0x1CB000, 0xE35000, 0xE35000},
                   {0x000000, 0x4B000, 0x4B000}, {0x110000, 0, 0x1000}};
    const Bytes block = counting(4096);
    for (const auto& r : regions) {
        if (r.size)
            longestEraseMs = std::max(longestEraseMs, exchange(flashErase(r.address, r.size)));
        for (std::uint32_t off = 0; off < r.written; off += 4096) {
            const std::uint32_t n = std::min<std::uint32_t>(4096, r.written - off);
            longestWriteMs =
                std::max(longestWriteMs, exchange(writeBlock(r.address + off, {block.data(), n})));
        }
    }
    exchange(updateEnd());
    EXPECT_LT(longestEraseMs, 120000u);
    EXPECT_LT(longestWriteMs, 1000u);
    EXPECT_LT(now, 30000u);
    EXPECT_GT(now, 10000u);  // and is not instant: a real device takes its time
}

}  // namespace
}  // namespace pxr9::testing
