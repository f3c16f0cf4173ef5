#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/midi/stream/byte_stream.h"
#include "platform/midi/stream/stream_connections.h"
#include "platform/midi/stream/stream_reader.h"
#include "sim/sim_device.h"
#include "tools/sim/sim_options.h"
#include "tools/sim/sim_server.h"

namespace pxr9::tools {

// The simulated device on both directions of one ALSA rawmidi port, e.g. the gadget side of
// a USB MIDI link. Its input buffer is enlarged and read by a thread of its own, so that a
// whole Write Block never overruns it.
class RawMidiSimPorts {
  public:
    // `ended` is called on the reading thread when the port goes away (unplugged).
    RawMidiSimPorts(const SimToolOptions& options, std::function<void()> ended);
    ~RawMidiSimPorts();
    RawMidiSimPorts(const RawMidiSimPorts&) = delete;
    RawMidiSimPorts& operator=(const RawMidiSimPorts&) = delete;

    // Opens the port and starts serving; false with the reason in `error`.
    bool open(std::string& error);
    // Serves over streams opened elsewhere (what open() does once the port is open).
    bool serve(std::unique_ptr<ByteSource> source, std::unique_ptr<ByteSink> sink,
               std::string& error);
    // Stops reading first, so nothing arrives any more, then ends the device and closes the
    // output.
    void stop();

    // Only after stop() (or before open()).
    const sim::SimDevice& device() const { return server_.device(); }

  private:
    const std::string device_;  // as given on the command line
    const std::function<void()> ended_;
    SimServer server_;
    std::unique_ptr<ByteSource> source_;
    std::unique_ptr<StreamOutput> output_;
    std::unique_ptr<StreamReader> reader_;
};

}  // namespace pxr9::tools
