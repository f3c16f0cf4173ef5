#include "midi/midi_in_port.h"

#include <algorithm>
#include <new>

namespace pxr9 {

// The header and its data block, both zero-filled, lent to the platform as one buffer.
struct MidiInPort::ReceiveBuffer {
    MidiHeader header;
    std::unique_ptr<std::uint8_t[]> data;
};

MidiInPort::MidiInPort(MidiInService& service) : service_(service) {}

MidiInPort::~MidiInPort() {
    close();
}

bool MidiInPort::open(std::int32_t deviceIndex) {
    std::lock_guard control(controlMutex_);
    // Callers close first; an open port is not silently replaced.
    if (isOpen_.load()) return false;
    deviceIndex_ = deviceIndex;

    std::unique_ptr<ReceiveBuffer> buffer(new (std::nothrow) ReceiveBuffer{});
    if (!buffer) return false;
    buffer->data.reset(new (std::nothrow) std::uint8_t[kBufferSize]());
    if (!buffer->data) return false;
    buffer->header.data = buffer->data.get();
    buffer->header.bufferLength = kBufferSize;
    MidiHeader& header = buffer->header;

    MidiHandle handle = 0;
    if (!service_.open(handle, deviceIndex, &MidiInPort::onInput, this)) return false;
    {
        std::lock_guard lock(lendMutex_);
        handle_ = handle;
        buffer_ = std::move(buffer);
    }

    bool prepared = false;
    bool lent = false;
    bool ok = service_.reset(handle);
    if (ok) ok = prepared = service_.prepareHeader(handle, header);
    if (ok) ok = lent = service_.addBuffer(handle, header);
    if (ok) {
        // From the first recorded message on, the callback lends the buffer again.
        std::lock_guard lock(lendMutex_);
        relend_ = true;
    }
    if (ok) ok = service_.start(handle);
    if (!ok) {
        undoOpen(handle, prepared, lent);
        return false;
    }
    isOpen_.store(true);
    return true;
}

void MidiInPort::undoOpen(MidiHandle handle, bool prepared, bool lent) {
    {
        std::lock_guard lock(lendMutex_);
        relend_ = false;
    }
    MidiHeader& header = buffer_->header;
    // A lent buffer must come back before it can be unprepared and the handle closed.
    // Each step is tried even when the one before failed: the close below decides whether the
    // platform still holds the buffer.
    if (lent) static_cast<void>(service_.reset(handle));
    if (prepared) static_cast<void>(service_.unprepareHeader(handle, header));
    // Once the handle is closed the platform holds nothing of ours any more.
    retireBuffer(service_.close(handle));
}

void MidiInPort::close() {
    std::lock_guard control(controlMutex_);
    if (!isOpen_.load()) return;
    {
        // A message being copied right now must not lend the buffer again after the reset
        // below has handed it back.
        std::lock_guard lock(lendMutex_);
        relend_ = false;
    }
    const MidiHandle handle = handle_;
    MidiHeader& header = buffer_->header;
    // Each step only if the one before succeeded. The reset hands the buffer back through
    // onInput with nothing recorded, so it is out of the platform's hands before unprepare.
    const bool closed = service_.stop(handle) && service_.reset(handle) &&
                        service_.unprepareHeader(handle, header) && service_.close(handle);
    retireBuffer(closed);
    // What ended is closed now; queued messages stay for the dispatcher.
    queue_.forgetEnd();
    isOpen_.store(false);
}

void MidiInPort::retireBuffer(bool platformLetGo) {
    std::unique_ptr<ReceiveBuffer> buffer;
    {
        std::lock_guard lock(lendMutex_);
        handle_ = 0;
        buffer = std::move(buffer_);
    }
    if (platformLetGo) {
        // Buffers kept from earlier failed closes go with this one.
        stranded_.clear();
    } else {
        stranded_.push_back(std::move(buffer));
    }
}

void MidiInPort::clearQueue() {
    close();
    queue_.clear();
}

void MidiInPort::onInput(MidiHandle, std::uint32_t notice, void* instance, std::uintptr_t param1,
                         std::uintptr_t) {
    if (instance == nullptr) return;
    // The device went away: the dispatcher learns it after whatever came before.
    if (notice == kMimInputEnded) {
        static_cast<MidiInPort*>(instance)->queue_.markEnded();
        return;
    }
    // Short messages and every other notice (open, close, errors) are not passed on, and a
    // buffer handed back with an error notice is not lent again.
    if (notice != kMimLongData || param1 == 0) return;
    static_cast<MidiInPort*>(instance)->receive(*reinterpret_cast<MidiHeader*>(param1));
}

void MidiInPort::receive(MidiHeader& header) {
    // Nothing recorded (as after a reset) or not done: neither queued nor lent again.
    if ((header.flags.load(std::memory_order_acquire) & kHeaderDone) == 0) return;
    if (header.bytesRecorded == 0 || header.data == nullptr) return;
    // The recorded count comes from the platform: never copy past the block.
    const std::size_t n = std::min(header.bytesRecorded, header.bufferLength);
    // When memory runs out the message is dropped, but the buffer still goes back.
    queue_.append(header.data, n);

    std::lock_guard lock(lendMutex_);
    // Only the buffer of the open port goes back, and only on its own handle.
    if (!relend_ || !buffer_ || &header != &buffer_->header) return;
    // A buffer that cannot be lent again leaves the port deaf until it is reopened; the
    // worker's wait then runs out as for a device that does not answer.
    if (service_.prepareHeader(handle_, header))
        static_cast<void>(service_.addBuffer(handle_, header));
}

}  // namespace pxr9
