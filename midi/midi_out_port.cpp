#include "midi/midi_out_port.h"

#include <mutex>

namespace pxr9 {

int MidiOutPort::open(std::int32_t deviceIndex) {
    std::unique_lock lock(gate_);
    MidiHandle handle = 0;
    const int result = service_.open(handle, deviceIndex);
    handle_ = result == kMidiOk ? handle : 0;
    return result;
}

void MidiOutPort::close() {
    {
        // A send stuck on a device that stopped taking bytes holds the gate shared: cut it
        // short first, and every later send on this handle fails at once.
        std::shared_lock lock(gate_);
        if (handle_ != 0) service_.reset(handle_);
    }
    std::unique_lock lock(gate_);
    if (handle_ != 0) {
        service_.close(handle_);
        handle_ = 0;
    }
}

bool MidiOutPort::isOpen() const {
    std::shared_lock lock(gate_);
    return handle_ != 0;
}

int MidiOutPort::sendLongMessage(MidiHeader& header) {
    std::shared_lock lock(gate_);
    if (handle_ == 0) return 0;
    if (service_.prepareHeader(handle_, header) != kMidiOk) return 0;
    if (service_.longMessage(handle_, header) != kMidiOk) {
        service_.unprepareHeader(handle_, header);
        return 0;
    }
    // A send that cannot finish within the bound fails like any failed send. The platform
    // must not keep the buffer past this call (it is the caller's, and the header is local to
    // the caller's send), so a send it still holds is taken back by a reset; the port then
    // fails every send until it is opened again.
    const bool done = service_.waitDone(handle_, header, kSendBoundMs) == kMidiOk;
    if (!done) service_.reset(handle_);
    service_.unprepareHeader(handle_, header);
    return done ? 1 : 0;
}

int sendSysEx(MidiOutPort& port, const std::uint8_t* buffer, std::int32_t length) {
    if (buffer == nullptr || length <= 0) return -1;
    MidiHeader header;
    header.data = const_cast<std::uint8_t*>(buffer);  // the platform only reads it
    header.bufferLength = static_cast<std::uint32_t>(length);
    return port.sendLongMessage(header) == 1 ? 0 : -1;
}

}  // namespace pxr9
