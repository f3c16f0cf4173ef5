// Host cost of a whole update: the instant simulated device on the virtual clock, so only
// the updater's own work (building, packing, CRC, dispatching) and the device model count.
#include <benchmark/benchmark.h>

#include <memory>

#include "engine/update_procedure.h"
#include "tests/doubles/engine_harness.h"

namespace {

void BM_WholeUpdateOnVirtualClock(benchmark::State& bench) {
    pxr9::sim::SimConfig config;
    config.stamps.boot = pxr9::sim::makeStamp("0.90");  // all ten steps run
    config.timing = pxr9::sim::TimingModel::instant();
    for (auto _ : bench) {
        bench.PauseTiming();
        auto harness = std::make_unique<pxr9::testing::EngineHarness>(config);
        bench.ResumeTiming();
        const pxr9::ProcedureOutcome outcome = harness->run(pxr9::runUpdate);
        bench.PauseTiming();
        if (!outcome.isCompleted()) {
            bench.SkipWithError("update failed");
        }
        harness.reset();
        bench.ResumeTiming();
    }
    bench.counters["blocks"] = 3889;
}
BENCHMARK(BM_WholeUpdateOnVirtualClock)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
