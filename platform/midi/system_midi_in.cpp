#include "platform/midi/system_midi_in.h"

namespace pxr9 {

SystemMidiIn::OpenPort::~OpenPort() {
    recorder.stop();
    connection.reset();
}

SystemMidiIn::SystemMidiIn(std::vector<InputBackend*> backends) : directory_(std::move(backends)) {}

SystemMidiIn::~SystemMidiIn() = default;

int SystemMidiIn::deviceCount() {
    return directory_.count();
}

bool SystemMidiIn::deviceName(int index, std::string& name) {
    return directory_.name(index, name);
}

bool SystemMidiIn::open(MidiHandle& handle, std::int32_t deviceIndex, MidiInCallback callback,
                        void* instance) {
    if (callback == nullptr) return false;
    const auto listed = directory_.find(deviceIndex);
    if (!listed) return false;
    MidiHandle assigned = 0;
    {
        std::lock_guard lock(mutex_);
        assigned = nextHandle_++;
    }
    auto port = std::make_shared<OpenPort>(assigned, callback, instance);
    port->connection = listed->backend->open(listed->port, port->recorder);
    if (!port->connection) return false;
    std::lock_guard lock(mutex_);
    open_.emplace(assigned, std::move(port));
    handle = assigned;
    return true;
}

bool SystemMidiIn::reset(MidiHandle handle) {
    const auto port = find(handle);
    if (!port) return false;
    port->recorder.reset();
    return true;
}

bool SystemMidiIn::prepareHeader(MidiHandle handle, MidiHeader& header) {
    if (!find(handle)) return false;
    return header.data != nullptr && header.bufferLength > 0;
}

bool SystemMidiIn::addBuffer(MidiHandle handle, MidiHeader& header) {
    const auto port = find(handle);
    return port && port->recorder.lend(header);
}

bool SystemMidiIn::start(MidiHandle handle) {
    const auto port = find(handle);
    if (!port) return false;
    port->recorder.start();
    if (port->connection->start()) return true;
    port->recorder.stop();
    return false;
}

bool SystemMidiIn::stop(MidiHandle handle) {
    const auto port = find(handle);
    if (!port) return false;
    port->connection->stop();
    port->recorder.stop();
    return true;
}

bool SystemMidiIn::unprepareHeader(MidiHandle handle, MidiHeader& header) {
    const auto port = find(handle);
    if (!port) return false;
    return !port->recorder.isLent(header);
}

bool SystemMidiIn::close(MidiHandle handle) {
    std::shared_ptr<OpenPort> closing;
    {
        std::lock_guard lock(mutex_);
        const auto found = open_.find(handle);
        if (found == open_.end()) return false;
        closing = std::move(found->second);
        open_.erase(found);
    }
    // Ends input before returning, so no callback runs after close.
    closing->recorder.stop();
    closing->connection->stop();
    return true;
}

std::shared_ptr<SystemMidiIn::OpenPort> SystemMidiIn::find(MidiHandle handle) {
    std::lock_guard lock(mutex_);
    const auto found = open_.find(handle);
    return found == open_.end() ? nullptr : found->second;
}

}  // namespace pxr9
