#include "midi/midi_out_port.h"

#include <mutex>

namespace pxr9 {

bool MidiOutPort::open(std::int32_t deviceIndex) {
    // There is no default device to stand in for -1 (nothing chosen): like any other number
    // without a port, it fails.
    const auto listed = ports_.find(deviceIndex);
    std::unique_ptr<OutputConnection> opened;
    if (listed) opened = listed->backend->open(listed->port);
    std::unique_lock lock(gate_);
    connection_ = std::move(opened);
    return connection_ != nullptr;
}

void MidiOutPort::close() {
    cancelSends();
    std::unique_lock lock(gate_);
    connection_.reset();
}

bool MidiOutPort::isOpen() const {
    std::shared_lock lock(gate_);
    return connection_ != nullptr;
}

bool MidiOutPort::deviceGone() const {
    std::shared_lock lock(gate_);
    return connection_ && connection_->deviceGone();
}

void MidiOutPort::cancelSends() {
    // A send stuck on a device that stopped taking bytes holds the gate shared: it ends soon,
    // and every later send on this connection fails at once.
    std::shared_lock lock(gate_);
    if (connection_) connection_->cancel();
}

bool MidiOutPort::send(const std::uint8_t* bytes, std::size_t size) {
    if (bytes == nullptr || size == 0) return false;
    std::shared_lock lock(gate_);
    return connection_ && connection_->send(bytes, size);
}

}  // namespace pxr9
