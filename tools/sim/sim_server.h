#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "sim/sim_device.h"
#include "tools/sim/sim_options.h"
#include "tools/sim/sysex_assembler.h"

namespace pxr9::tools {

// The simulated device behind any pair of MIDI ports: bytes that arrive are handed to a
// device thread, which joins them into messages, serves them and sends each answer at the
// real time its virtual time stands for (time 0 = construction).
class SimServer {
  public:
    using Send = std::function<void(const std::vector<std::uint8_t>& bytes)>;

    explicit SimServer(const SimToolOptions& options);
    ~SimServer();
    SimServer(const SimServer&) = delete;
    SimServer& operator=(const SimServer&) = delete;

    // Starts the device thread; answers go to `send`, on that thread. False if it cannot start.
    bool start(Send send);
    // From any thread: bytes as they arrived, in any pieces.
    void deliver(const std::uint8_t* bytes, std::size_t count);
    // Ends the device thread; answers not yet sent are dropped.
    void stop();

    // Only after stop() (or before start()): the device thread owns it meanwhile.
    const sim::SimDevice& device() const { return device_; }

  private:
    std::uint64_t elapsedMs() const;
    void serve();

    const std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
    sim::SimDevice device_;
    SysexAssembler assembler_;
    Send send_;

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::vector<std::uint8_t>> incoming_;
    bool stopping_ = false;

    // Only the device thread touches these.
    std::multimap<std::uint64_t, std::vector<std::uint8_t>> pending_;

    std::thread thread_;
};

}  // namespace pxr9::tools
