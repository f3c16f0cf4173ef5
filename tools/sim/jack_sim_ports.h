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

class RtMidiIn;
class RtMidiOut;

namespace pxr9::tools {

// The simulated device on a JACK MIDI input and output port of the same name. What arrives
// is handed from JACK's thread to a device thread, which serves it and sends each answer at
// the real time its virtual time stands for (time 0 = construction).
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

    // What RtMidi reported instead of throwing; one per object, as each reports on its own
    // thread.
    struct ErrorNote {
        bool failed = false;
        std::string text;
    };

  private:
    static void onInput(double, std::vector<unsigned char>* message, void* self);
    std::uint64_t elapsedMs() const;
    void serve();
    void send(const std::vector<std::uint8_t>& bytes);

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

    // Declared before the RtMidi objects, which report into them until they are closed.
    ErrorNote inputErrors_;
    ErrorNote outputErrors_;
    std::unique_ptr<RtMidiIn> input_;
    std::unique_ptr<RtMidiOut> output_;
    std::thread thread_;
};

}  // namespace pxr9::tools
