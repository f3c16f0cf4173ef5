#include "platform/midi/stream/sysex_recorder.h"

#include <algorithm>

namespace pxr9 {

namespace {
constexpr std::uint8_t kSysexStart = 0xF0;
constexpr std::uint8_t kSysexEnd = 0xF7;
constexpr std::uint8_t kFirstRealTime = 0xF8;
}  // namespace

SysexRecorder::SysexRecorder(MidiHandle handle, MidiInCallback callback, void* instance)
    : handle_(handle), callback_(callback), instance_(instance) {}

bool SysexRecorder::lend(MidiHeader& header) {
    if (header.data == nullptr || header.bufferLength == 0) return false;
    std::lock_guard lock(mutex_);
    if (std::find(lent_.begin(), lent_.end(), &header) != lent_.end()) return false;
    header.bytesRecorded = 0;
    header.flags.fetch_and(~kHeaderDone, std::memory_order_relaxed);
    lent_.push_back(&header);
    return true;
}

bool SysexRecorder::isLent(const MidiHeader& header) {
    std::lock_guard lock(mutex_);
    return std::find(lent_.begin(), lent_.end(), &header) != lent_.end();
}

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

void SysexRecorder::reset() {
    std::unique_lock lock(mutex_);
    std::deque<MidiHeader*> taken;
    taken.swap(lent_);
    // A message in progress lost its buffer; its rest must not start a message of its own.
    if (parse_ == Parse::Recording) parse_ = Parse::Dropping;
    recorded_ = 0;
    lock.unlock();
    for (MidiHeader* header : taken) deliver(*header, 0);
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
    callback_(handle_, kMimInputEnded, instance_, 0, 0);
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
        // A new start ends an unterminated message: that one is discarded, not handed back.
        recorded_ = 0;
        parse_ = lent_.empty() ? Parse::Dropping : Parse::Recording;
        if (parse_ != Parse::Recording) return;
    } else if (byte & 0x80) {
        // F7 closes a message; any other status byte cuts the message short and is dropped.
        if (parse_ == Parse::Recording && byte == kSysexEnd) {
            MidiHeader& header = *lent_.front();
            header.data[recorded_] = byte;
            parse_ = Parse::Idle;
            handBack(lock, recorded_ + 1);
            return;
        }
        recorded_ = 0;
        parse_ = Parse::Idle;
        return;
    } else if (parse_ != Parse::Recording) {
        return;  // data outside a message, or a message being dropped
    }

    MidiHeader& header = *lent_.front();
    header.data[recorded_++] = byte;
    if (recorded_ == header.bufferLength) {
        // Full without its end: hand it back and go on in the next lent buffer, if any.
        handBack(lock, recorded_);
        if (running_) parse_ = lent_.empty() ? Parse::Dropping : Parse::Recording;
    }
}

void SysexRecorder::handBack(std::unique_lock<std::mutex>& lock, std::uint32_t recorded) {
    MidiHeader* header = lent_.front();
    lent_.pop_front();
    recorded_ = 0;
    lock.unlock();
    deliver(*header, recorded);
    lock.lock();
}

void SysexRecorder::deliver(MidiHeader& header, std::uint32_t recorded) {
    header.bytesRecorded = recorded;
    header.flags.fetch_or(kHeaderDone, std::memory_order_release);
    callback_(handle_, kMimLongData, instance_, reinterpret_cast<std::uintptr_t>(&header), 0);
}

}  // namespace pxr9
