#include "platform/midi/jack/jack_midi_out.h"

#include <jack/jack.h>
#include <jack/midiport.h>
#include <jack/ringbuffer.h>

namespace pxr9 {

namespace {

using Length = std::uint32_t;  // before each message in the ring
// Room for the largest message and another one queued behind it.
constexpr std::size_t kRingBytes = 2 * (sizeof(Length) + JackMidiOut::kLargestMessage);

}  // namespace

std::unique_ptr<JackMidiOut> JackMidiOut::open(std::shared_ptr<JackClient> client, std::string& why,
                                               std::chrono::milliseconds bound) {
    auto port = std::make_unique<JackMidiOut>(bound);
    if (port->ring_ == nullptr) {
        why = "no memory for the port's ring";
        return nullptr;
    }
    if (!port->JackMidiPort::open(std::move(client), true, why)) return nullptr;
    return port;
}

JackMidiOut::JackMidiOut(std::chrono::milliseconds bound)
    : bound_(bound),
      ring_(jack_ringbuffer_create(kRingBytes)),
      capacity_(ring_ != nullptr ? jack_ringbuffer_write_space(ring_) : 0),
      event_(sizeof(Length) + kLargestMessage) {}

JackMidiOut::~JackMidiOut() {
    close();  // no cycle runs in process() from here on
    if (ring_ != nullptr) jack_ringbuffer_free(ring_);
}

bool JackMidiOut::stopped() const {
    return cancelled_.load() || deviceGone();
}

template <class Ready>
bool JackMidiOut::await(Ready ready, Deadline deadline) {
    while (true) {
        if (stopped()) return false;
        if (ready()) return true;
        if (!wake_.waitUntil(deadline)) return ready() && !stopped();
    }
}

bool JackMidiOut::send(const std::uint8_t* data, std::size_t size) {
    if (data == nullptr || size == 0 || size > kLargestMessage) return false;
    const Deadline deadline = std::chrono::steady_clock::now() + bound_;
    std::lock_guard lock(sendMutex_);
    if (stopped()) return false;

    // A send that gave up may have left its message in the ring; wait until it has gone.
    const std::size_t needed = sizeof(Length) + size;
    const auto roomFor = [&] {
        return capacity_ - (written_ - taken_.load(std::memory_order_acquire)) >= needed;
    };
    if (!await(roomFor, deadline)) return false;
    const auto length = static_cast<Length>(size);
    jack_ringbuffer_write(ring_, reinterpret_cast<const char*>(&length), sizeof length);
    jack_ringbuffer_write(ring_, reinterpret_cast<const char*>(data), size);
    written_ += needed;
    queued_.store(written_, std::memory_order_release);

    const std::size_t mine = written_;
    const auto taken = [&] { return taken_.load(std::memory_order_acquire) >= mine; };
    if (!await(taken, deadline)) {
        // A link that stalls and resumes must not deliver this message after its resend.
        if (withdraw(mine, needed) || stopped()) return false;
        // A cycle claimed it just now and writes it whole; it only has to finish.
        const Deadline finish = std::chrono::steady_clock::now() + bound_;
        while (!taken() && wake_.waitUntil(finish)) {
        }
        if (!taken()) return false;
    }
    return lastRefused_.load(std::memory_order_acquire) != mine;
}

bool JackMidiOut::withdraw(std::size_t end, std::size_t size) {
    std::size_t start = end - size;
    // Every earlier message is settled, so this one is next; the callback skips it unwritten.
    return settled_.compare_exchange_strong(start, end);
}

void JackMidiOut::cancel() {
    cancelled_.store(true);
    wake_.post();
}

void JackMidiOut::serverLost() noexcept {
    JackMidiPort::serverLost();
    wake_.post();
}

void JackMidiOut::process(std::uint32_t frames) noexcept {
    noteLink();
    void* buffer = jack_port_get_buffer(port(), frames);
    jack_midi_clear_buffer(buffer);
    const std::size_t emptyRoom = jack_midi_max_event_size(buffer);
    const std::size_t queued = queued_.load(std::memory_order_acquire);
    bool took = false;
    while (queued - read_ >= sizeof(Length)) {
        Length length = 0;
        jack_ringbuffer_peek(ring_, reinterpret_cast<char*>(&length), sizeof length);
        const std::size_t whole = sizeof(Length) + length;
        const std::size_t end = read_ + whole;
        // Not yet withdrawn by its sender: this cycle claims it, unless it has to wait.
        if (settled_.load() == read_) {
            const bool fits = length <= kLargestMessage && length <= emptyRoom;
            // Full for this cycle: the message waits for the next one.
            if (fits && jack_midi_max_event_size(buffer) < length) break;
            std::size_t start = read_;
            if (settled_.compare_exchange_strong(start, end)) {
                if (fits) {
                    jack_ringbuffer_peek(ring_, reinterpret_cast<char*>(event_.data()), whole);
                }
                // One that would wait for ever, or that the buffer refused after all.
                if (!fits ||
                    jack_midi_event_write(buffer, 0, event_.data() + sizeof(Length), length) != 0) {
                    lastRefused_.store(end, std::memory_order_release);
                }
            }
        }
        jack_ringbuffer_read_advance(ring_, whole);
        read_ = end;
        taken_.store(read_, std::memory_order_release);
        took = true;
    }
    if (took) wake_.post();
}

}  // namespace pxr9
