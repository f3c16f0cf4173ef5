#pragma once

#include <array>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <thread>

#include "midi/midi_connection.h"

namespace pxr9 {

// Records the SysEx messages of a MIDI byte stream and delivers each to the receiver once it
// is complete; a message longer than SysexReceiver::kMaxPiece is delivered in pieces of that
// size. Everything that is not SysEx is dropped, and so is everything before start().
// feed() runs on one reading thread at a time; start and stop on any thread.
class SysexRecorder {
  public:
    explicit SysexRecorder(SysexReceiver& receiver) : receiver_(receiver) {}
    SysexRecorder(const SysexRecorder&) = delete;
    SysexRecorder& operator=(const SysexRecorder&) = delete;

    // Begins accepting bytes, with no message in progress.
    void start();
    // After it returns, bytes are dropped and no feed is still delivering (unless stop is
    // called from inside a delivery). A message in progress is abandoned.
    void stop();

    void feed(const std::uint8_t* bytes, std::size_t count);
    // From the reading thread: the input ended by itself (the device went away). Tells the
    // receiver once while running; stop() waits for that call as for a feed.
    void inputEnded();

  private:
    enum class Parse { Idle, Recording };

    void record(std::unique_lock<std::mutex>& lock, std::uint8_t byte);
    // Delivers the recorded bytes; the lock is released during the call, so the receiver
    // may stop the recorder from inside it.
    void deliver(std::unique_lock<std::mutex>& lock);

    SysexReceiver& receiver_;

    std::mutex mutex_;
    std::condition_variable feedDone_;
    bool running_ = false;
    bool feeding_ = false;
    bool endTold_ = false;
    std::thread::id feeder_;
    Parse parse_ = Parse::Idle;
    std::size_t recorded_ = 0;  // bytes of the current message (or piece) in buffer_
    std::array<std::uint8_t, SysexReceiver::kMaxPiece> buffer_{};
};

}  // namespace pxr9
