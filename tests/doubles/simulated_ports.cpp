#include "tests/doubles/simulated_ports.h"

#include <algorithm>

namespace pxr9::testing {

void PortTable::set(std::vector<std::string> names, int deviceIndex) {
    std::lock_guard lock(mutex_);
    names_ = std::move(names);
    deviceIndex_ = deviceIndex;
}

void PortTable::failOpens(bool output, bool input) {
    std::lock_guard lock(mutex_);
    failOutput_ = output;
    failInput_ = input;
}

int PortTable::count() const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(names_.size());
}

bool PortTable::name(int index, std::string& out) const {
    std::lock_guard lock(mutex_);
    if (index < 0 || index >= static_cast<int>(names_.size())) return false;
    out = names_[index];
    return true;
}

MidiHandle PortTable::open(int index, bool output) const {
    std::lock_guard lock(mutex_);
    if ((output ? failOutput_ : failInput_) || index < 0 ||
        index >= static_cast<int>(names_.size()) || (unplugged_ && index == deviceIndex_)) {
        return 0;
    }
    return static_cast<MidiHandle>(index) + 1;
}

MidiHandle PortTable::deviceHandle() const {
    std::lock_guard lock(mutex_);
    return static_cast<MidiHandle>(deviceIndex_) + 1;
}

void PortTable::unplug(bool out) {
    std::lock_guard lock(mutex_);
    unplugged_ = out;
}

bool PortTable::unplugged() const {
    std::lock_guard lock(mutex_);
    return unplugged_;
}

bool ForwardingOutput::open(MidiHandle& handle, std::int32_t deviceIndex) {
    const MidiHandle opened = ports_.open(deviceIndex, true);
    if (opened == 0) return false;
    handle = opened;
    return true;
}

bool ForwardingOutput::longMessage(MidiHandle handle, MidiHeader& header) {
    if (deviceGone(handle)) return false;
    if (!onSend_(handle, header.data, header.bufferLength)) return false;
    header.flags.fetch_or(kHeaderDone);
    return true;
}

bool ForwardingOutput::deviceGone(MidiHandle handle) {
    return handle == ports_.deviceHandle() && ports_.unplugged();
}

bool LentBufferInput::open(MidiHandle& handle, std::int32_t deviceIndex, MidiInCallback callback,
                           void* instance) {
    const MidiHandle opened = ports_.open(deviceIndex, false);
    if (opened == 0) return false;
    std::lock_guard lock(mutex_);
    handle = handle_ = opened;
    callback_ = callback;
    instance_ = instance;
    return true;
}

void LentBufferInput::handBack(MidiHeader& header) {
    header.flags.fetch_or(kHeaderDone);
    callback_(handle_, kMimLongData, instance_, reinterpret_cast<std::uintptr_t>(&header), 0);
}

bool LentBufferInput::reset(MidiHandle) {
    std::lock_guard lock(mutex_);
    std::deque<MidiHeader*> returned;
    returned.swap(lent_);
    for (MidiHeader* header : returned) {
        header->bytesRecorded = 0;
        handBack(*header);
    }
    return true;
}

bool LentBufferInput::addBuffer(MidiHandle, MidiHeader& header) {
    std::lock_guard lock(mutex_);
    header.flags.fetch_and(~kHeaderDone);
    lent_.push_back(&header);
    return true;
}

bool LentBufferInput::start(MidiHandle) {
    std::lock_guard lock(mutex_);
    started_ = true;
    return true;
}

bool LentBufferInput::stop(MidiHandle) {
    std::lock_guard lock(mutex_);
    started_ = false;
    return true;
}

bool LentBufferInput::close(MidiHandle) {
    // Waits out a delivery in progress.
    std::lock_guard lock(mutex_);
    started_ = false;
    handle_ = 0;
    lent_.clear();
    return true;
}

void LentBufferInput::end() {
    std::lock_guard lock(mutex_);
    if (!started_ || handle_ == 0 || handle_ != ports_.deviceHandle()) return;
    callback_(handle_, kMimInputEnded, instance_, 0, 0);
}

void LentBufferInput::deliver(const std::vector<std::uint8_t>& bytes) {
    std::lock_guard lock(mutex_);
    if (!started_ || handle_ == 0 || handle_ != ports_.deviceHandle()) return;
    if (ports_.unplugged()) return;
    for (std::size_t offset = 0; offset < bytes.size();) {
        if (lent_.empty()) return;  // no buffer lent: the platform drops the rest
        MidiHeader* header = lent_.front();
        lent_.pop_front();
        const std::size_t n = std::min<std::size_t>(header->bufferLength, bytes.size() - offset);
        std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(offset), n, header->data);
        header->bytesRecorded = static_cast<std::uint32_t>(n);
        offset += n;
        handBack(*header);
    }
}

}  // namespace pxr9::testing
