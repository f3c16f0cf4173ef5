// Wall time of a whole update with the real threads of the program: the real reply event,
// the real 1 ms poll timer on its own thread, the worker on its own thread, and the instant
// simulated device answering from a MIDI-callback-like thread. Prints the total and the time
// from each block's send to its acceptance.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <thread>
#include <vector>

#include "engine/device_session.h"
#include "engine/update_procedure.h"
#include "engine/version_report.h"
#include "platform/real_time.h"
#include "tests/doubles/live_device.h"
#include "tests/doubles/surface_recorder.h"

namespace {

using Clock = std::chrono::steady_clock;

// Takes the moment of every accepted block (a progress position while writing).
class TimingSurface final : public pxr9::DialogSurface {
  public:
    void setStatusText(const std::string& text) override { status = text; }
    void setStepText(const std::string&) override {}
    void setProgressRange(std::int32_t, std::int32_t upper) override { writing = upper > 10; }
    void setProgressPosition(std::int32_t) override {
        if (writing) accepted.push_back(Clock::now());
    }
    void showError(const std::string& text, const std::string&) override {
        status = "error: " + text;
    }
    void showVersionReport(const std::string&) override {}

    std::string status;
    bool writing = false;
    std::vector<Clock::time_point> accepted;
};

double percentile(std::vector<double> values, double p) {
    std::sort(values.begin(), values.end());
    return values[static_cast<std::size_t>(p * static_cast<double>(values.size() - 1))];
}

}  // namespace

int main() {
    pxr9::sim::SimConfig config;
    config.stamps.boot = pxr9::sim::makeStamp("0.90");
    config.timing = pxr9::sim::TimingModel::instant();
    pxr9::testing::LiveDevice device(config);

    std::mutex sendsMutex;
    std::vector<Clock::time_point> blockSends;
    device.onHostSend([&](const std::uint8_t* bytes, std::size_t size) {
        if (size > 4 && bytes[1] == 0x52 && bytes[4] == 0x02) {
            std::lock_guard lock(sendsMutex);
            blockSends.push_back(Clock::now());
        }
    });

    pxr9::RealReplyEvent event;
    pxr9::RealClock clock;
    TimingSurface surface;
    pxr9::UpdaterState state({device.inputs(), device.outputs(), event, clock}, surface);
    pxr9::ThreadWorkerRunner worker;
    pxr9::DeviceSession session(state, worker);
    if (session.openPorts(0, 0)) return 1;

    const auto start = Clock::now();
    const pxr9::ProcedureOutcome outcome = session.run(pxr9::runUpdate);
    const double total = std::chrono::duration<double>(Clock::now() - start).count();
    session.closePorts();

    std::vector<double> latencies;
    {
        std::lock_guard lock(sendsMutex);
        const std::size_t n = std::min(blockSends.size(), surface.accepted.size());
        for (std::size_t i = 0; i < n; ++i) {
            latencies.push_back(
                std::chrono::duration<double, std::milli>(surface.accepted[i] - blockSends[i])
                    .count());
        }
    }
    std::printf("outcome: %s\n", surface.status.c_str());
    std::printf("blocks: %zu\n", latencies.size());
    std::printf("total: %.2f s\n", total);
    if (!latencies.empty()) {
        std::printf("block send to acceptance: median %.3f ms, p99 %.3f ms\n",
                    percentile(latencies, 0.5), percentile(latencies, 0.99));
    }
    return outcome.isCompleted() ? 0 : 1;
}
