#include "midi/midi_out_port.h"

#include <chrono>
#include <mutex>
#include <thread>

namespace pxr9 {

int MidiOutPort::open(std::int32_t deviceIndex) {
    std::unique_lock lock(gate_);
    MidiHandle handle = 0;
    const int result = service_.open(handle, deviceIndex);
    handle_ = result == kMidiOk ? handle : 0;
    return result;
}

void MidiOutPort::close() {
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
    // No time limit: the platform marks every accepted buffer done, also when the device
    // goes away.
    while ((header.flags.load(std::memory_order_acquire) & kHeaderDone) == 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    service_.unprepareHeader(handle_, header);
    return 1;
}

int sendSysEx(MidiOutPort& port, const std::uint8_t* buffer, std::int32_t length) {
    if (buffer == nullptr || length <= 0) return -1;
    MidiHeader header;
    header.data = const_cast<std::uint8_t*>(buffer);  // the platform only reads it
    header.bufferLength = static_cast<std::uint32_t>(length);
    return port.sendLongMessage(header) == 1 ? 0 : -1;
}

}  // namespace pxr9
