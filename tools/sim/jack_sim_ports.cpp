#include "tools/sim/jack_sim_ports.h"

#include "midi/backends/jack_client.h"
#include "midi/backends/jack_midi_in.h"
#include "midi/backends/jack_midi_out.h"

namespace pxr9::tools {

namespace {

sim::SimDevice makeDevice(const SimToolOptions& options) {
    sim::SimDevice device(options.config);
    device.faults() = options.faults;
    return device;
}

}  // namespace

JackSimPorts::JackSimPorts(const SimToolOptions& options)
    : portName_(options.portName()),
      device_(makeDevice(options)),
      assembler_([this](const std::vector<std::uint8_t>& message) {
          for (sim::OutgoingMessage& answer : device_.receive(message, elapsedMs())) {
              pending_.emplace(answer.atMs, std::move(answer.bytes));
          }
      }) {}

JackSimPorts::~JackSimPorts() {
    stop();
}

bool JackSimPorts::open(std::string& error) {
    const std::string client = "pxr9-sim-" + portName_;
    std::string why;
    const std::shared_ptr<JackClient> out = JackClient::open(client + " out", why);
    const std::shared_ptr<JackClient> in = out ? JackClient::open(client + " in", why) : nullptr;
    if (in) {
        output_ = JackMidiOut::open(out, portName_);
        input_ = JackMidiIn::open(
            in, portName_,
            [this](const std::uint8_t* bytes, std::size_t count) { onInput(bytes, count); });
        if (!output_ || !input_) why = "the server refused a port of that name";
    }
    if (!output_ || !input_) {
        error = "cannot create the JACK MIDI ports \"" + portName_ + "\": " + why;
        input_.reset();
        output_.reset();
        return false;
    }
    thread_ = std::thread([this] { serve(); });
    return true;
}

void JackSimPorts::stop() {
    input_.reset();  // after this nothing is delivered any more
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable()) thread_.join();
    output_.reset();  // each client is closed with the last port on it
}

void JackSimPorts::onInput(const std::uint8_t* bytes, std::size_t count) {
    {
        std::lock_guard lock(mutex_);
        incoming_.emplace_back(bytes, bytes + count);
    }
    changed_.notify_one();
}

std::uint64_t JackSimPorts::elapsedMs() const {
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                          std::chrono::steady_clock::now() - start_)
                                          .count());
}

void JackSimPorts::serve() {
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        if (!incoming_.empty()) {
            std::vector<std::uint8_t> chunk = std::move(incoming_.front());
            incoming_.pop_front();
            lock.unlock();
            assembler_.feed(chunk.data(), chunk.size());
            lock.lock();
            continue;
        }
        if (!pending_.empty() && pending_.begin()->first <= elapsedMs()) {
            std::vector<std::uint8_t> answer = std::move(pending_.begin()->second);
            pending_.erase(pending_.begin());
            lock.unlock();
            output_->send(answer.data(), answer.size());
            lock.lock();
            continue;
        }
        if (pending_.empty()) {
            changed_.wait(lock);
        } else {
            changed_.wait_until(lock, start_ + std::chrono::milliseconds(pending_.begin()->first));
        }
    }
}

}  // namespace pxr9::tools
