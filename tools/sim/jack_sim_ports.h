#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "sim/sim_device.h"
#include "tools/sim/sim_options.h"
#include "tools/sim/sysex_assembler.h"

namespace pxr9 {
class JackClient;
class JackMidiIn;
class JackMidiOut;
}  // namespace pxr9

namespace pxr9::tools {

// The simulated device on a JACK MIDI input and output port of the same name (so on two
// clients, as one client's ports have names of their own). What arrives is handed to a device
// thread, which serves it and sends each answer at the real time its virtual time stands for
// (time 0 = construction).
class JackSimPorts {
  public:
    explicit JackSimPorts(const SimToolOptions& options);
    ~JackSimPorts();
    JackSimPorts(const JackSimPorts&) = delete;
    JackSimPorts& operator=(const JackSimPorts&) = delete;

    // Creates both ports and starts serving; false with the reason in `error`.
    bool open(std::string& error);
    // Closes the input first, so nothing arrives any more, then ends the device thread and
    // closes the output. Answers not yet sent are dropped.
    void stop();

    // Only after stop() (or before open()): the device thread owns it meanwhile.
    const sim::SimDevice& device() const { return device_; }

  private:
    void onInput(const std::uint8_t* bytes, std::size_t count);
    std::uint64_t elapsedMs() const;
    void serve();

    const std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
    const std::string portName_;
    sim::SimDevice device_;
    SysexAssembler assembler_;

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::vector<std::uint8_t>> incoming_;
    bool stopping_ = false;

    // Only the device thread touches these.
    std::multimap<std::uint64_t, std::vector<std::uint8_t>> pending_;

    std::unique_ptr<JackMidiIn> input_;
    std::unique_ptr<JackMidiOut> output_;
    std::thread thread_;
};

}  // namespace pxr9::tools
