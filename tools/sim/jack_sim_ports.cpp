#include "tools/sim/jack_sim_ports.h"

#include <rtmidi/RtMidi.h>

#include "midi/backends/jack_session.h"

namespace pxr9::tools {

namespace {

// RtMidi reports through this instead of throwing once it is set.
void noteError(RtMidiError::Type type, const std::string& text, void* note) {
    if (type == RtMidiError::WARNING || type == RtMidiError::DEBUG_WARNING) return;
    auto* n = static_cast<JackSimPorts::ErrorNote*>(note);
    n->failed = true;
    n->text = text;
}

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
    std::string thrown;
    try {
        output_ = std::make_unique<RtMidiOut>(RtMidi::UNIX_JACK, client + " out");
        output_->setErrorCallback(noteError, &outputErrors_);
        output_->openVirtualPort(portName_);
        input_ = std::make_unique<RtMidiIn>(RtMidi::UNIX_JACK, client + " in");
        input_->setErrorCallback(noteError, &inputErrors_);
        input_->ignoreTypes(false, true, true);
        input_->setCallback(onInput, this);
        if (!outputErrors_.failed) input_->openVirtualPort(portName_);
    } catch (const RtMidiError& e) {
        thrown = e.getMessage();
    }
    if (!thrown.empty() || outputErrors_.failed || inputErrors_.failed) {
        const std::string& why = !thrown.empty()        ? thrown
                                 : outputErrors_.failed ? outputErrors_.text
                                                        : inputErrors_.text;
        error = "cannot create the JACK MIDI ports \"" + portName_ + "\": " + why;
        input_.reset();
        output_.reset();
        return false;
    }
    thread_ = std::thread([this] { serve(); });
    return true;
}

void JackSimPorts::stop() {
    input_.reset();  // no callback runs after its client is closed
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable()) thread_.join();
    if (output_) {
        // RtMidi frees its send ring before it closes its client, while a process callback
        // that found the port still open may be reading it: close the port, let that cycle
        // end, then destroy.
        output_->closePort();
        JackSession().awaitCycles();
        output_.reset();
    }
}

void JackSimPorts::onInput(double, std::vector<unsigned char>* message, void* self) {
    if (message == nullptr || message->empty()) return;
    auto* ports = static_cast<JackSimPorts*>(self);
    {
        std::lock_guard lock(ports->mutex_);
        ports->incoming_.emplace_back(message->begin(), message->end());
    }
    ports->changed_.notify_one();
}

std::uint64_t JackSimPorts::elapsedMs() const {
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                          std::chrono::steady_clock::now() - start_)
                                          .count());
}

void JackSimPorts::send(const std::vector<std::uint8_t>& bytes) {
    output_->sendMessage(bytes.data(), bytes.size());
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
            send(answer);
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
