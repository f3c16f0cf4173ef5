#include "platform/midi/stream/sysex_recorder.h"

namespace pxr9 {

namespace {
constexpr std::uint8_t kSysexStart = 0xF0;
constexpr std::uint8_t kSysexEnd = 0xF7;
constexpr std::uint8_t kFirstRealTime = 0xF8;
}  // namespace

void SysexRecorder::start() {
    std::lock_guard lock(mutex_);
    running_ = true;
    endTold_ = false;
    parse_ = Parse::Idle;
    recorded_ = 0;
}

void SysexRecorder::stop() {
    std::unique_lock lock(mutex_);
    running_ = false;
    parse_ = Parse::Idle;
    recorded_ = 0;
    const auto self = std::this_thread::get_id();
    feedDone_.wait(lock, [&] { return !feeding_ || feeder_ == self; });
}

void SysexRecorder::feed(const std::uint8_t* bytes, std::size_t count) {
    std::unique_lock lock(mutex_);
    if (!running_ || feeding_) return;  // one reading thread at a time
    feeding_ = true;
    feeder_ = std::this_thread::get_id();
    for (std::size_t i = 0; i < count && running_; ++i) record(lock, bytes[i]);
    feeding_ = false;
    feeder_ = {};
    lock.unlock();
    feedDone_.notify_all();
}

void SysexRecorder::inputEnded() {
    std::unique_lock lock(mutex_);
    if (!running_ || feeding_ || endTold_) return;
    endTold_ = true;
    feeding_ = true;
    feeder_ = std::this_thread::get_id();
    lock.unlock();
    receiver_.inputEnded();
    lock.lock();
    feeding_ = false;
    feeder_ = {};
    lock.unlock();
    feedDone_.notify_all();
}

void SysexRecorder::record(std::unique_lock<std::mutex>& lock, std::uint8_t byte) {
    // Real-time bytes may appear anywhere, even inside a SysEx; they are never part of one.
    if (byte >= kFirstRealTime) return;

    if (byte == kSysexStart) {
        // A new start ends an unterminated message: that one is discarded, not delivered.
        recorded_ = 0;
        parse_ = Parse::Recording;
    } else if (byte & 0x80) {
        // F7 closes a message; any other status byte cuts the message short and is dropped.
        if (parse_ == Parse::Recording && byte == kSysexEnd) {
            buffer_[recorded_++] = byte;
            parse_ = Parse::Idle;
            deliver(lock);
            return;
        }
        recorded_ = 0;
        parse_ = Parse::Idle;
        return;
    } else if (parse_ != Parse::Recording) {
        return;  // data outside a message
    }

    buffer_[recorded_++] = byte;
    // Full without its end: deliver this piece and go on with the next.
    if (recorded_ == buffer_.size()) deliver(lock);
}

void SysexRecorder::deliver(std::unique_lock<std::mutex>& lock) {
    // Only the reading thread touches the buffer while it feeds, so it may be read unlocked.
    const std::size_t size = recorded_;
    recorded_ = 0;
    lock.unlock();
    receiver_.received(buffer_.data(), size);
    lock.lock();
}

}  // namespace pxr9
