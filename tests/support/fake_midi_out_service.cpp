#include "tests/support/fake_midi_out_service.h"

#include <algorithm>

namespace pxr9::test {

FakeMidiOutService::FakeMidiOutService() : names_{std::string("Fake MIDI Out")} {}

int FakeMidiOutService::deviceCount() {
    std::lock_guard lock(mutex_);
    return static_cast<int>(names_.size());
}

bool FakeMidiOutService::deviceName(int index, std::string& name) {
    std::lock_guard lock(mutex_);
    if (index < 0 || static_cast<std::size_t>(index) >= names_.size() || !names_[index]) {
        return false;
    }
    name = *names_[index];
    return true;
}

bool FakeMidiOutService::knownHandle(MidiHandle handle) const {
    return handle != 0 && open_.count(handle) != 0;
}

void FakeMidiOutService::record(OutCall call) {
    calls_.push_back(std::move(call));
}

int FakeMidiOutService::open(MidiHandle& handle, std::int32_t deviceIndex) {
    std::lock_guard lock(mutex_);
    if (auto result = failures_.take(OutOp::Open)) {
        record({OutOp::Open, 0, deviceIndex, {}});
        return *result;
    }
    handle = nextHandle_++;
    open_[handle] = deviceIndex;
    record({OutOp::Open, handle, deviceIndex, {}});
    return kMidiOk;
}

int FakeMidiOutService::close(MidiHandle handle) {
    std::lock_guard lock(mutex_);
    record({OutOp::Close, handle, 0, {}});
    if (auto result = failures_.take(OutOp::Close)) return *result;
    if (!knownHandle(handle)) return kFakeBadHandle;
    if (std::any_of(pending_.begin(), pending_.end(),
                    [handle](const Pending& p) { return p.handle == handle; })) {
        closedUnderSend_ = true;
    }
    open_.erase(handle);
    return kMidiOk;
}

int FakeMidiOutService::prepareHeader(MidiHandle handle, MidiHeader& header) {
    std::lock_guard lock(mutex_);
    record({OutOp::Prepare, handle, 0, {}});
    if (auto result = failures_.take(OutOp::Prepare)) return *result;
    if (!knownHandle(handle)) return kFakeBadHandle;
    prepared_.insert(&header);
    return kMidiOk;
}

int FakeMidiOutService::longMessage(MidiHandle handle, MidiHeader& header) {
    std::unique_lock lock(mutex_);
    std::vector<std::uint8_t> bytes;
    if (header.data != nullptr) bytes.assign(header.data, header.data + header.bufferLength);
    record({OutOp::LongMessage, handle, 0, bytes});
    if (auto result = failures_.take(OutOp::LongMessage)) return *result;
    if (!knownHandle(handle)) return kFakeBadHandle;
    if (prepared_.count(&header) == 0) return kFakeUnprepared;
    sent_.push_back(std::move(bytes));
    if (completeLater_) {
        pending_.push_back({handle, &header});
        lock.unlock();
        pendingChanged_.notify_all();
        return kMidiOk;
    }
    header.flags.fetch_or(kHeaderDone, std::memory_order_release);
    return kMidiOk;
}

int FakeMidiOutService::unprepareHeader(MidiHandle handle, MidiHeader& header) {
    std::lock_guard lock(mutex_);
    record({OutOp::Unprepare, handle, 0, {}});
    if (auto result = failures_.take(OutOp::Unprepare)) return *result;
    if (!knownHandle(handle)) return kFakeBadHandle;
    if (std::any_of(pending_.begin(), pending_.end(),
                    [&header](const Pending& p) { return p.header == &header; })) {
        return kFakeStillPlaying;
    }
    prepared_.erase(&header);
    return kMidiOk;
}

void FakeMidiOutService::setDeviceNames(DeviceNames names) {
    std::lock_guard lock(mutex_);
    names_ = std::move(names);
}

void FakeMidiOutService::failNext(OutOp op, int times, int result) {
    std::lock_guard lock(mutex_);
    failures_.fail(op, result, times);
}

void FakeMidiOutService::failAlways(OutOp op, int result) {
    std::lock_guard lock(mutex_);
    failures_.fail(op, result, FailurePlan<OutOp>::kForever);
}

void FakeMidiOutService::clearFailures() {
    std::lock_guard lock(mutex_);
    failures_.clear();
}

void FakeMidiOutService::completeSendsLater(bool later) {
    std::lock_guard lock(mutex_);
    completeLater_ = later;
}

void FakeMidiOutService::waitForPendingSends(std::size_t count) {
    std::unique_lock lock(mutex_);
    pendingChanged_.wait(lock, [&] { return pending_.size() >= count; });
}

bool FakeMidiOutService::completeNextSend() {
    std::lock_guard lock(mutex_);
    if (pending_.empty()) return false;
    // The header stays owned by the waiting sender, which is still inside its send.
    pending_.front().header->flags.fetch_or(kHeaderDone, std::memory_order_release);
    pending_.pop_front();
    return true;
}

std::size_t FakeMidiOutService::pendingSends() const {
    std::lock_guard lock(mutex_);
    return pending_.size();
}

std::vector<OutCall> FakeMidiOutService::calls() const {
    std::lock_guard lock(mutex_);
    return calls_;
}

std::size_t FakeMidiOutService::count(OutOp op) const {
    std::lock_guard lock(mutex_);
    return static_cast<std::size_t>(
        std::count_if(calls_.begin(), calls_.end(), [op](const OutCall& c) { return c.op == op; }));
}

void FakeMidiOutService::clearCalls() {
    std::lock_guard lock(mutex_);
    calls_.clear();
}

std::vector<std::vector<std::uint8_t>> FakeMidiOutService::sent() const {
    std::lock_guard lock(mutex_);
    return sent_;
}

std::size_t FakeMidiOutService::openHandles() const {
    std::lock_guard lock(mutex_);
    return open_.size();
}

std::size_t FakeMidiOutService::preparedHeaders() const {
    std::lock_guard lock(mutex_);
    return prepared_.size();
}

bool FakeMidiOutService::closedUnderSend() const {
    std::lock_guard lock(mutex_);
    return closedUnderSend_;
}

}  // namespace pxr9::test
