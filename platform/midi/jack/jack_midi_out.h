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

#include "midi/midi_connection.h"
#include "platform/midi/jack/jack_midi_port.h"

namespace pxr9 {

// A JACK MIDI output port. A send hands the whole message to the process callback through
// a ring and returns once the callback has written it into the port's buffer for a cycle. A
// send that gives up takes its message back, unless a cycle has already begun to write it.
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
    // message, when it was not taken within the bound (then it never goes out), after
    // cancel() and once the server or the port at the other end has gone away.
    bool send(const std::uint8_t* data, std::size_t size);
    // From any thread: a send in progress returns false soon, every later one at once.
    void cancel();
    // The server or the port the connection was carried to has gone: no send reaches it.
    bool deviceGone() const { return serverGone() || peerGone(); }

  private:
    void process(std::uint32_t frames) noexcept override;
    void serverLost() noexcept override;
    void peerLost() noexcept override { wake_.post(); }
    bool stopped() const;
    // After a send gave up on the message that ends at `end`: true when no cycle will write
    // it, false when one has claimed it.
    bool withdraw(std::size_t end, std::size_t size);
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
    // Where the messages decided so far end: each is claimed by the callback to be written,
    // or withdrawn by its sender, whichever moves this from its start to its end first.
    std::atomic<std::size_t> settled_{0};
    // The end of the last message that no cycle's buffer could hold.
    std::atomic<std::size_t> lastRefused_{0};

    // One message at a time. A plain mutex: whoever holds it waits no longer than the bound.
    std::mutex sendMutex_;
    std::size_t written_ = 0;  // senders' own count (under sendMutex_)

    // The callback's own: its count, and room to assemble one event.
    std::size_t read_ = 0;
    std::vector<std::uint8_t> event_;
};

}  // namespace pxr9
