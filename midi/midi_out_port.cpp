#include "midi/midi_out_port.h"

#include <mutex>

namespace pxr9 {

bool MidiOutPort::open(std::int32_t deviceIndex) {
    std::unique_lock lock(gate_);
    MidiHandle handle = 0;
    const bool opened = service_.open(handle, deviceIndex);
    handle_ = opened ? handle : 0;
    return opened;
}

void MidiOutPort::close() {
    {
        // A send stuck on a device that stopped taking bytes holds the gate shared: cut it
        // short first, and every later send on this handle fails at once.
        std::shared_lock lock(gate_);
        // Nothing to do when it fails: the close below still lets go of the handle.
        if (handle_ != 0) static_cast<void>(service_.reset(handle_));
    }
    std::unique_lock lock(gate_);
    if (handle_ != 0) {
        static_cast<void>(service_.close(handle_));
        handle_ = 0;
    }
}

bool MidiOutPort::isOpen() const {
    std::shared_lock lock(gate_);
    return handle_ != 0;
}

bool MidiOutPort::deviceGone() const {
    std::shared_lock lock(gate_);
    return handle_ != 0 && service_.deviceGone(handle_);
}

void MidiOutPort::cancelSends() {
    std::shared_lock lock(gate_);
    if (handle_ != 0) static_cast<void>(service_.reset(handle_));
}

bool MidiOutPort::sendLongMessage(MidiHeader& header) {
    std::shared_lock lock(gate_);
    if (handle_ == 0) return false;
    if (!service_.prepareHeader(handle_, header)) return false;
    if (!service_.longMessage(handle_, header)) {
        static_cast<void>(service_.unprepareHeader(handle_, header));
        return false;
    }
    // A send that cannot finish within the bound fails like any failed send. The platform
    // must not keep the buffer past this call (it is the caller's, and the header is local to
    // the caller's send), so a send it still holds is taken back by a reset; the port then
    // fails every send until it is opened again.
    const bool done = service_.waitDone(handle_, header, kSendBoundMs);
    if (!done) static_cast<void>(service_.reset(handle_));
    static_cast<void>(service_.unprepareHeader(handle_, header));
    return done;
}

bool sendSysEx(MidiOutPort& port, const std::uint8_t* buffer, std::int32_t length) {
    if (buffer == nullptr || length <= 0) return false;
    MidiHeader header;
    header.data = const_cast<std::uint8_t*>(buffer);  // the platform only reads it
    header.bufferLength = static_cast<std::uint32_t>(length);
    return port.sendLongMessage(header);
}

}  // namespace pxr9
