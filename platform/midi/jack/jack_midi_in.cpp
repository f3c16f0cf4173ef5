#include "platform/midi/jack/jack_midi_in.h"

#include <jack/jack.h>
#include <jack/midiport.h>
#include <jack/ringbuffer.h>

#include <algorithm>

namespace pxr9 {

namespace {

// Several cycles' worth of the largest messages, should the delivering thread fall behind.
constexpr std::size_t kRingBytes = 64 * 1024;
constexpr std::size_t kChunk = 8192;

}  // namespace

std::unique_ptr<JackMidiIn> JackMidiIn::open(std::shared_ptr<JackClient> client, Sink sink,
                                             std::string& why, Ended ended) {
    auto port = std::make_unique<JackMidiIn>(std::move(sink), std::move(ended));
    if (port->ring_ == nullptr) {
        why = "no memory for the port's ring";
        return nullptr;
    }
    port->thread_ = std::thread([p = port.get()] { p->deliver(); });
    if (!port->JackMidiPort::open(std::move(client), false, why)) return nullptr;
    return port;
}

JackMidiIn::JackMidiIn(Sink sink, Ended ended)
    : sink_(std::move(sink)),
      ended_(std::move(ended)),
      ring_(jack_ringbuffer_create(kRingBytes)),
      capacity_(ring_ != nullptr ? jack_ringbuffer_write_space(ring_) : 0) {}

JackMidiIn::~JackMidiIn() {
    close();  // no cycle runs in process() from here on
    stopping_.store(true);
    arrived_.post();
    if (thread_.joinable()) thread_.join();
    if (ring_ != nullptr) jack_ringbuffer_free(ring_);
}

void JackMidiIn::process(std::uint32_t frames) noexcept {
    noteLink();
    void* buffer = jack_port_get_buffer(port(), frames);
    const std::uint32_t count = jack_midi_get_event_count(buffer);
    const std::size_t room = capacity_ - (put_ - delivered_.load(std::memory_order_acquire));
    std::size_t used = 0;
    for (std::uint32_t i = 0; i < count; ++i) {
        jack_midi_event_t event{};
        if (jack_midi_event_get(&event, buffer, i) != 0 || event.size == 0) continue;
        if (event.size > room - used) continue;
        jack_ringbuffer_write(ring_, reinterpret_cast<const char*>(event.buffer), event.size);
        used += event.size;
    }
    if (used == 0) return;
    put_ += used;
    written_.store(put_, std::memory_order_release);
    arrived_.post();
}

void JackMidiIn::serverLost() noexcept {
    JackMidiPort::serverLost();
    lost_.store(true);
    arrived_.post();
}

void JackMidiIn::peerLost() noexcept {
    lost_.store(true);
    arrived_.post();
}

void JackMidiIn::deliver() {
    std::vector<std::uint8_t> chunk(kChunk);
    std::size_t taken = 0;
    bool told = false;
    while (!stopping_.load()) {
        // Read before the count: every byte written before the loss is delivered before it.
        const bool lost = lost_.load();
        const std::size_t waiting = written_.load(std::memory_order_acquire) - taken;
        if (waiting == 0) {
            if (lost && !told) {
                told = true;
                if (ended_) ended_();
                continue;
            }
            arrived_.wait();
            continue;
        }
        const std::size_t n = jack_ringbuffer_read(ring_, reinterpret_cast<char*>(chunk.data()),
                                                   std::min(waiting, chunk.size()));
        taken += n;
        delivered_.store(taken, std::memory_order_release);
        sink_(chunk.data(), n);
    }
}

}  // namespace pxr9
