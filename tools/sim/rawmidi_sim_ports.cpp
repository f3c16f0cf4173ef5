#include "tools/sim/rawmidi_sim_ports.h"

#include <cstring>

#include "platform/midi/alsa/rawmidi_names.h"
#include "platform/midi/alsa/rawmidi_stream.h"

namespace pxr9::tools {

namespace {

// The device does not wait for its answers to leave: they sit in the port's buffer until the
// host reads them. Waiting would hold the device thread whenever a host stopped reading (a
// run that ended early), and every later answer with it.
class UnwaitedSink : public ByteSink {
  public:
    explicit UnwaitedSink(std::unique_ptr<ByteSink> sink) : sink_(std::move(sink)) {}
    std::vector<pollfd> pollDescriptors() override { return sink_->pollDescriptors(); }
    long write(const std::uint8_t* data, std::size_t size) override {
        return sink_->write(data, size);
    }
    int drained() override { return 1; }
    std::chrono::milliseconds retryAfter() const override { return sink_->retryAfter(); }

  private:
    std::unique_ptr<ByteSink> sink_;
};

}  // namespace

RawMidiSimPorts::RawMidiSimPorts(const SimToolOptions& options, std::function<void()> ended)
    : device_(options.rawmidi), ended_(std::move(ended)), server_(options) {}

RawMidiSimPorts::~RawMidiSimPorts() {
    stop();
}

bool RawMidiSimPorts::open(std::string& error) {
    const std::string address = rawMidiAddress(device_);
    int result = 0;
    std::unique_ptr<ByteSink> sink = openRawMidiSink(address, result);
    std::unique_ptr<ByteSource> source;
    if (sink) source = openRawMidiSource(address, kRawMidiInputBuffer, result);
    if (!sink || !source) {
        error = "cannot open the rawmidi port " + address + ": " + std::strerror(-result);
        return false;
    }
    if (!serve(std::move(source), std::move(sink), error)) {
        error += " " + address;
        return false;
    }
    return true;
}

bool RawMidiSimPorts::serve(std::unique_ptr<ByteSource> source, std::unique_ptr<ByteSink> sink,
                            std::string& error) {
    source_ = std::move(source);
    output_ = std::make_unique<StreamOutput>(std::make_unique<UnwaitedSink>(std::move(sink)));
    reader_ = std::make_unique<StreamReader>(
        *source_,
        [this](const std::uint8_t* bytes, std::size_t count) { server_.deliver(bytes, count); },
        ended_);
    // A lost answer shows in the updater as a timeout; the device has no one to tell.
    if (!server_.start([this](const std::vector<std::uint8_t>& answer) {
            (void)output_->send(answer.data(), answer.size());
        }) ||
        !reader_->start()) {
        error = "cannot start the threads that serve";
        stop();
        return false;
    }
    return true;
}

void RawMidiSimPorts::stop() {
    if (reader_) reader_->stop();
    if (output_) output_->cancel();  // an answer stuck in a send must not hold the stop
    server_.stop();
    reader_.reset();
    output_.reset();
    source_.reset();
}

}  // namespace pxr9::tools
