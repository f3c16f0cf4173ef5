// Cost of one dispatch: with nothing received, and with one Read Data reply waiting.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>

#include "midi/midi_out_port.h"
#include "midi/receive_queue.h"
#include "platform/real_time.h"
#include "protocol/device_link.h"
#include "protocol/dispatcher.h"
#include "tests/doubles/fake_output_backend.h"

namespace {

// Read Data carrying the four bytes 12 34 56 78 (packed: header byte 00, then the bytes),
// length 4, and their CRC-32 without final complement, 0xB5F6F167, as five seven-bit bytes.
constexpr std::array<std::uint8_t, 22> kReadData = {0xF0, 0x52, 0x00, 0x6E, 0x60, 0x04, 0x30, 0x00,
                                                    0x00, 0x04, 0x00, 0x00, 0x12, 0x34, 0x56, 0x78,
                                                    0x67, 0x62, 0x5B, 0x2F, 0x0B, 0xF7};

struct Link {
    pxr9::testing::FakeOutputBackend service;
    pxr9::OutputPorts ports{{&service}};
    pxr9::MidiOutPort out{ports};
    pxr9::ReceiveQueue queue;
    pxr9::RealReplyEvent event;
    pxr9::DeviceLink link{out, queue, event};
};

void BM_DispatchWithEmptyQueue(benchmark::State& state) {
    Link l;
    for (auto _ : state) pxr9::dispatchReplies(l.link);
}
BENCHMARK(BM_DispatchWithEmptyQueue);

// Messages are queued outside the timed part, in batches, so what is measured is the
// dispatcher's work: interpret, unpack, check the CRC, store, signal, free the node.
void BM_DispatchReadData(benchmark::State& state) {
    constexpr int kBatch = 1000;
    Link l;
    l.link.queue.append(kReadData.data(), kReadData.size());
    pxr9::dispatchReplies(l.link);
    if (l.link.takeAnswer() != pxr9::Reply::readData(true) || l.link.readBuffer.count() != 4) {
        state.SkipWithError("the Read Data message was not accepted");
        return;
    }
    for (auto _ : state) {
        state.PauseTiming();
        l.link.readBuffer.reset();
        for (int i = 0; i < kBatch; ++i) l.link.queue.append(kReadData.data(), kReadData.size());
        state.ResumeTiming();
        pxr9::dispatchReplies(l.link);
    }
    state.SetItemsProcessed(state.iterations() * kBatch);
    state.counters["time_per_message"] =
        benchmark::Counter(static_cast<double>(state.iterations() * kBatch),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_DispatchReadData);

}  // namespace

BENCHMARK_MAIN();
