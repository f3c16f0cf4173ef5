#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "midi/port_directory.h"
#include "sim/sim_device.h"
#include "tests/doubles/simulated_ports.h"

namespace pxr9::testing {

// The simulated PXR-9 on real time and real threads: what the host sends reaches the device
// at once; its answers come back on a thread of their own, like a platform's MIDI callback,
// at the real time their virtual time stands for (time 0 = construction). For benchmarks and
// dialog tests that need the threads of the real program.
class LiveDevice {
  public:
    explicit LiveDevice(sim::SimConfig config = {});
    ~LiveDevice();
    LiveDevice(const LiveDevice&) = delete;
    LiveDevice& operator=(const LiveDevice&) = delete;

    OutputPorts& outputs() { return outputs_; }
    InputPorts& inputs() { return inputs_; }
    // Runs `fn` on the device under its lock (fault scripts, flash checks).
    void withDevice(const std::function<void(sim::SimDevice&)>& fn);
    // Called on the sending thread for every message the host sends.
    void onHostSend(std::function<void(const std::uint8_t*, std::size_t)> observer);
    void setPorts(std::vector<std::string> names, int deviceIndex);

  private:
    std::uint64_t elapsedMs() const;
    void hostSent(int port, const std::uint8_t* bytes, std::size_t size);
    void deliveryLoop();

    const std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
    std::mutex mutex_;
    std::condition_variable changed_;
    sim::SimDevice device_;
    std::deque<sim::OutgoingMessage> pending_;
    std::function<void(const std::uint8_t*, std::size_t)> observer_;
    bool stopping_ = false;
    PortTable ports_;
    ForwardingOutput out_;
    DeviceInput in_;
    OutputPorts outputs_{{&out_}};
    InputPorts inputs_{{&in_}};
    std::thread delivery_;
};

}  // namespace pxr9::testing
