#pragma once

#include <memory>
#include <string>

#include "sim/sim_device.h"
#include "tools/sim/sim_options.h"
#include "tools/sim/sim_server.h"

namespace pxr9 {
class JackMidiIn;
class JackMidiOut;
}  // namespace pxr9

namespace pxr9::tools {

// The simulated device on a JACK MIDI input and output port of the same name (so on two
// clients, as one client's ports have names of their own).
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
    const sim::SimDevice& device() const { return server_.device(); }

  private:
    const std::string portName_;
    SimServer server_;
    std::unique_ptr<JackMidiIn> input_;
    std::unique_ptr<JackMidiOut> output_;
};

}  // namespace pxr9::tools
