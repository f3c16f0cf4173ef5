#include "midi/midi_in_port.h"

namespace pxr9 {

bool MidiInPort::open(std::int32_t deviceIndex) {
    std::lock_guard control(controlMutex_);
    if (isOpen_.load()) return false;
    const auto listed = ports_.find(deviceIndex);
    if (!listed) return false;
    std::unique_ptr<InputConnection> opened = listed->backend->open(listed->port, *this);
    if (!opened) return false;
    if (!opened->start()) return false;  // destroying it ends every delivery
    connection_ = std::move(opened);
    isOpen_.store(true);
    return true;
}

void MidiInPort::close() {
    std::lock_guard control(controlMutex_);
    if (!isOpen_.load()) return;
    connection_->stop();
    connection_.reset();
    // What ended is closed now; queued messages stay for the dispatcher.
    queue_.forgetEnd();
    isOpen_.store(false);
}

void MidiInPort::clearQueue() {
    close();
    queue_.clear();
}

void MidiInPort::received(const std::uint8_t* bytes, std::size_t size) {
    // The size comes from the platform: never more than one piece is copied. When memory
    // runs out the message is dropped, and the worker's wait runs out as for no answer.
    if (bytes == nullptr || size == 0) return;
    static_cast<void>(queue_.append(bytes, size < kMaxPiece ? size : kMaxPiece));
}

void MidiInPort::inputEnded() {
    // The dispatcher learns it after whatever came before.
    queue_.markEnded();
}

}  // namespace pxr9
