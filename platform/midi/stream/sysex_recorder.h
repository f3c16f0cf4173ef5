#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>

#include "midi/midi_service.h"

namespace pxr9 {

// Records the SysEx messages of a MIDI byte stream into the buffers an input port lends, and
// hands each buffer back through the port's callback (kMimLongData) once a message is complete
// or the buffer is full; a longer message continues in the next lent buffer. Everything that
// is not SysEx is dropped, as is any message that finds no buffer lent.
// feed() runs on one reading thread at a time; the other operations on any thread.
class SysexRecorder {
  public:
    SysexRecorder(MidiHandle handle, MidiInCallback callback, void* instance);
    SysexRecorder(const SysexRecorder&) = delete;
    SysexRecorder& operator=(const SysexRecorder&) = delete;

    // Lends a buffer; false for an unusable header or one that is already lent.
    [[nodiscard]] bool lend(MidiHeader& header);
    bool isLent(const MidiHeader& header);
    // Begins accepting bytes, with no message in progress.
    void start();
    // After it returns, bytes are dropped and no feed is still delivering (unless stop is
    // called from inside a delivery). A message in progress is abandoned; buffers stay lent.
    void stop();
    // Hands every lent buffer back with nothing recorded.
    void reset();

    void feed(const std::uint8_t* bytes, std::size_t count);
    // From the reading thread: the input ended by itself (the device went away). Tells the
    // port once (kMimInputEnded) while running; stop() waits for that call as for a feed.
    void inputEnded();

  private:
    enum class Parse { Idle, Recording, Dropping };

    void record(std::unique_lock<std::mutex>& lock, std::uint8_t byte);
    // Takes the front buffer out of the lent list and hands it back with `recorded` bytes;
    // the lock is released during the callback so the port can lend again from inside it.
    void handBack(std::unique_lock<std::mutex>& lock, std::uint32_t recorded);
    void deliver(MidiHeader& header, std::uint32_t recorded);

    const MidiHandle handle_;
    const MidiInCallback callback_;
    void* const instance_;

    std::mutex mutex_;
    std::condition_variable feedDone_;
    std::deque<MidiHeader*> lent_;
    bool running_ = false;
    bool feeding_ = false;
    bool endTold_ = false;
    std::thread::id feeder_;
    Parse parse_ = Parse::Idle;
    std::uint32_t recorded_ = 0;  // bytes of the current message in lent_.front()
};

}  // namespace pxr9
