// Throughput of the seven-bit packing and the CRC, and the cost of building the largest
// message an update sends.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "protocol/crc32.h"
#include "protocol/messages.h"
#include "protocol/seven_bit.h"

namespace {

std::vector<std::uint8_t> randomBytes(std::size_t n) {
    std::mt19937 random(1);
    std::vector<std::uint8_t> bytes(n);
    for (auto& b : bytes) b = static_cast<std::uint8_t>(random());
    return bytes;
}

void BM_PackSevenBit(benchmark::State& state) {
    const auto n = static_cast<std::size_t>(state.range(0));
    const auto raw = randomBytes(n);
    std::vector<std::uint8_t> packed(pxr9::packedLength(n));
    for (auto _ : state) {
        benchmark::DoNotOptimize(pxr9::packSevenBit(raw.data(), n, packed.data()));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * n));
}
BENCHMARK(BM_PackSevenBit)->Arg(4)->Arg(4096)->Arg(16383);

void BM_UnpackSevenBit(benchmark::State& state) {
    const auto n = static_cast<std::size_t>(state.range(0));
    const auto raw = randomBytes(n);
    std::vector<std::uint8_t> packed(pxr9::packedLength(n));
    pxr9::packSevenBit(raw.data(), n, packed.data());
    std::vector<std::uint8_t> out(n);
    for (auto _ : state) {
        pxr9::unpackSevenBit(packed.data(), n, out.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * n));
}
BENCHMARK(BM_UnpackSevenBit)->Arg(4)->Arg(4096)->Arg(16383);

void BM_SysexCrc32(benchmark::State& state) {
    const auto n = static_cast<std::size_t>(state.range(0));
    const auto raw = randomBytes(n);
    for (auto _ : state) benchmark::DoNotOptimize(pxr9::sysexCrc32(raw.data(), n));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * n));
}
BENCHMARK(BM_SysexCrc32)->Arg(4)->Arg(4096)->Arg(16383);

// One 4096-byte Write Block: packing, CRC and framing into the request buffer.
void BM_BuildWriteBlock4096(benchmark::State& state) {
    const auto data = randomBytes(4096);
    std::vector<std::uint8_t> message(pxr9::kSendBufferSize);
    for (auto _ : state) {
        benchmark::DoNotOptimize(pxr9::buildWriteBlock(0x6E, data.data(), 0x04B000, 4096, message));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.size()));
}
BENCHMARK(BM_BuildWriteBlock4096)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
