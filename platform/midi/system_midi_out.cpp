#include "platform/midi/system_midi_out.h"

namespace pxr9 {

SystemMidiOut::SystemMidiOut(std::vector<OutputBackend*> backends)
    : directory_(std::move(backends)) {}

int SystemMidiOut::deviceCount() {
    return directory_.count();
}

bool SystemMidiOut::deviceName(int index, std::string& name) {
    return directory_.name(index, name);
}

bool SystemMidiOut::open(MidiHandle& handle, std::int32_t deviceIndex) {
    // There is no default device to stand in for -1 (nothing chosen): like any other number
    // without a port, it fails.
    const auto listed = directory_.find(deviceIndex);
    if (!listed) return false;
    std::shared_ptr<OutputConnection> opened = listed->backend->open(listed->port);
    if (!opened) return false;
    std::lock_guard lock(mutex_);
    handle = nextHandle_++;
    open_.emplace(handle, std::move(opened));
    return true;
}

bool SystemMidiOut::close(MidiHandle handle) {
    std::shared_ptr<OutputConnection> closing;
    {
        std::lock_guard lock(mutex_);
        const auto found = open_.find(handle);
        if (found == open_.end()) return false;
        closing = std::move(found->second);
        open_.erase(found);
    }
    closing->cancel();  // a send still running on this port fails instead of holding the close
    return true;        // `closing` closes the port here, unless a send still holds it
}

bool SystemMidiOut::prepareHeader(MidiHandle handle, MidiHeader& header) {
    if (!connection(handle)) return false;
    return header.data != nullptr && header.bufferLength > 0;
}

bool SystemMidiOut::longMessage(MidiHandle handle, MidiHeader& header) {
    const std::shared_ptr<OutputConnection> output = connection(handle);
    if (!output || header.data == nullptr || header.bufferLength == 0) return false;
    if (!output->send(header.data, header.bufferLength)) return false;
    header.flags.fetch_or(kHeaderDone, std::memory_order_release);
    return true;
}

bool SystemMidiOut::waitDone(MidiHandle, MidiHeader& header, std::uint32_t) {
    // A send returns only once its bytes were taken (or failed within the connection's own
    // bound), so an accepted header is already done here: nothing to wait for.
    return (header.flags.load(std::memory_order_acquire) & kHeaderDone) != 0;
}

bool SystemMidiOut::reset(MidiHandle handle) {
    const std::shared_ptr<OutputConnection> output = connection(handle);
    if (!output) return false;
    output->cancel();
    return true;
}

bool SystemMidiOut::deviceGone(MidiHandle handle) {
    const std::shared_ptr<OutputConnection> output = connection(handle);
    return output && output->deviceGone();
}

bool SystemMidiOut::unprepareHeader(MidiHandle handle, MidiHeader&) {
    return connection(handle) != nullptr;
}

std::shared_ptr<OutputConnection> SystemMidiOut::connection(MidiHandle handle) {
    std::lock_guard lock(mutex_);
    const auto found = open_.find(handle);
    return found == open_.end() ? nullptr : found->second;
}

}  // namespace pxr9
