#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>

#include "midi/midi_connection.h"
#include "platform/midi/stream/byte_stream.h"

namespace pxr9 {

// Sends whole messages to a sink: every byte written, then drained, so the caller's buffer
// may be reused when send returns. Sends from several threads are serialised: the bytes of
// two messages never interleave on the wire. No send waits past its bound, and cancel()
// wakes one that is waiting at once: the waits are polls on the sink's descriptors and on
// a descriptor of the sender's own. A send that fails takes back what it left in the sink, so
// the device never gets that message later; once the sink said the device is gone, every send
// fails at once.
class BlockingSender {
  public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    explicit BlockingSender(ByteSink& sink, std::chrono::milliseconds bound = kSendBound,
                            Clock clock = std::chrono::steady_clock::now);
    ~BlockingSender();
    BlockingSender(const BlockingSender&) = delete;
    BlockingSender& operator=(const BlockingSender&) = delete;

    // False when the sink refused a write or the drain, when the bytes were not taken within
    // the bound (the wait for an earlier send included), or once cancelled; the device may
    // then have got the start of the message, never its end after a later one.
    bool send(const std::uint8_t* data, std::size_t size);
    // From any thread: a send in progress returns false soon, every later one at once.
    void cancel();
    // True once the sink answered with an error that means the device is gone.
    bool deviceGone() const { return gone_.load(); }

  private:
    enum class Wait { Ready, Over };
    using TimePoint = std::chrono::steady_clock::time_point;

    bool sendLocked(const std::uint8_t* data, std::size_t size, TimePoint deadline);
    // A sink's error: notes a device that is gone; false.
    bool failed(long error);
    // Until the sink's descriptors say it is worth trying again; Over on the deadline, on
    // cancel() or when the wait itself fails.
    Wait waitForSink(TimePoint deadline);

    ByteSink& sink_;
    const std::chrono::milliseconds bound_;
    const Clock clock_;
    const int wakeFd_;  // stays readable once cancelled; -1 when it could not be made
    std::mutex mutex_;
    std::condition_variable idle_;
    bool sending_ = false;  // one send at a time; the others wait on idle_
    std::atomic<bool> cancelled_{false};
    std::atomic<bool> gone_{false};
};

}  // namespace pxr9
