#pragma once

#include <jack/ringbuffer.h>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/midi/jack_midi_port.h"
#include "platform/midi/port_backend.h"

namespace pxr9 {

// A JACK MIDI output port. A send hands the whole message to the process callback through
// a ring and returns once the callback has written it into the port's buffer for a cycle.
class JackMidiOut final : public JackMidiPort {
  public:
    // The longest message a send takes (a Write Block is about 4,700 bytes).
    static constexpr std::size_t kLargestMessage = 8192;

    // An output port of `client`, claimed until this ends; null when there is none free, with
    // the reason in `why`. `bound`: how long a send may wait.
    static std::unique_ptr<JackMidiOut> open(std::shared_ptr<JackClient> client, std::string& why,
                                             std::chrono::milliseconds bound = kSendBound);
    explicit JackMidiOut(std::chrono::milliseconds bound);
    ~JackMidiOut() override;

    // True once the message went out whole in one event; false for an empty or too long
    // message, when it was not taken within the bound, after cancel() and once the server
    // has gone away.
    bool send(const std::uint8_t* data, std::size_t size);
    // From any thread: a send in progress returns false soon, every later one at once.
    void cancel();

  private:
    void process(std::uint32_t frames) noexcept override;
    void serverLost() noexcept override;
    bool stopped() const;
    // Waits until `ready` holds; false when stopped or at `deadline`.
    template <class Ready>
    bool await(Ready ready, Deadline deadline);

    const std::chrono::milliseconds bound_;
    jack_ringbuffer_t* const ring_;
    const std::size_t capacity_;
    std::atomic<bool> cancelled_{false};
    JackWake wake_;  // given when the callback took a message, on cancel and on shutdown

    // Bytes put into the ring so far by senders, and taken out by the callback; each side
    // publishes its count after touching the ring, so the other reads only what is done.
    std::atomic<std::size_t> queued_{0};
    std::atomic<std::size_t> taken_{0};
    std::atomic<std::size_t> refused_{0};  // messages no cycle's buffer could ever hold

    // One message at a time. A plain mutex: whoever holds it waits no longer than the bound.
    std::mutex sendMutex_;
    std::size_t written_ = 0;  // senders' own count (under sendMutex_)

    // The callback's own: its count, and room to assemble one event.
    std::size_t read_ = 0;
    std::vector<std::uint8_t> event_;
};

}  // namespace pxr9
