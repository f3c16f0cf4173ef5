#pragma once

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "midi/midi_service.h"
#include "tests/doubles/failure_plan.h"
#include "tests/doubles/fake_device_names.h"

namespace pxr9::test {

enum class OutOp { Open, Close, Prepare, LongMessage, WaitDone, Unprepare, Reset };

struct OutCall {
    OutOp op;
    MidiHandle handle = 0;            // 0 for a failed open
    std::int32_t deviceIndex = 0;     // Open only
    std::vector<std::uint8_t> bytes;  // LongMessage only: the bytes handed over
};

// A MIDI output platform that records every call in order. Sends finish at once unless
// told to finish them later, when a test completes them from any thread, or a reset cuts
// them short. Like a real platform it refuses calls on unknown handles, long messages on
// unprepared headers or on a handle that was reset, and unpreparing a header whose send has
// not finished. Time is virtual: a wait for a send runs out only when told to.
class FakeMidiOutService final : public MidiOutService {
  public:
    FakeMidiOutService();

    int deviceCount() override;
    bool deviceName(int index, std::string& name) override;
    bool open(MidiHandle& handle, std::int32_t deviceIndex) override;
    bool close(MidiHandle handle) override;
    bool prepareHeader(MidiHandle handle, MidiHeader& header) override;
    bool longMessage(MidiHandle handle, MidiHeader& header) override;
    bool waitDone(MidiHandle handle, MidiHeader& header, std::uint32_t timeoutMs) override;
    bool unprepareHeader(MidiHandle handle, MidiHeader& header) override;
    bool reset(MidiHandle handle) override;

    void setDeviceNames(DeviceNames names);
    // The next `times` calls of `op` fail without doing anything.
    void failNext(OutOp op, int times = 1);
    void failAlways(OutOp op);
    void clearFailures();

    // When true, accepted sends stay in progress until completeNextSend().
    void completeSendsLater(bool later);
    // Blocks until at least `count` sends are in progress.
    void waitForPendingSends(std::size_t count = 1);
    // Marks the oldest send in progress done; false when none is.
    bool completeNextSend();
    std::size_t pendingSends() const;
    // When true, a wait for a send in progress runs out at once, as if its bound had passed.
    void waitsRunOut(bool runOut);
    // The bound the last waitDone was given.
    std::uint32_t lastWaitBound() const;

    std::vector<OutCall> calls() const;
    std::size_t count(OutOp op) const;
    void clearCalls();
    // The bytes of every accepted long message, in order.
    std::vector<std::vector<std::uint8_t>> sent() const;
    std::size_t openHandles() const;
    std::size_t preparedHeaders() const;
    // True once a close took effect while a send on its handle was still in progress.
    bool closedUnderSend() const;

  private:
    bool knownHandle(MidiHandle handle) const;
    void record(OutCall call);

    mutable std::mutex mutex_;
    std::condition_variable pendingChanged_;
    DeviceNames names_;
    FailurePlan<OutOp> failures_;
    std::vector<OutCall> calls_;
    std::vector<std::vector<std::uint8_t>> sent_;
    std::map<MidiHandle, std::int32_t> open_;  // handle -> device
    std::set<const MidiHeader*> prepared_;
    struct Pending {
        MidiHandle handle;
        MidiHeader* header;
    };
    std::deque<Pending> pending_;
    std::set<const MidiHeader*> cutShort_;  // sends a reset ended before they were done
    std::set<MidiHandle> reset_;
    bool completeLater_ = false;
    bool waitsRunOut_ = false;
    std::uint32_t lastWaitBound_ = 0;
    bool closedUnderSend_ = false;
    MidiHandle nextHandle_ = 0x1000;
};

// Defined here so that any target can use the fakes with nothing more to link.

inline FakeMidiOutService::FakeMidiOutService() : names_{std::string("Fake MIDI Out")} {}

inline int FakeMidiOutService::deviceCount() {
    std::lock_guard lock(mutex_);
    return static_cast<int>(names_.size());
}

inline bool FakeMidiOutService::deviceName(int index, std::string& name) {
    std::lock_guard lock(mutex_);
    if (index < 0 || static_cast<std::size_t>(index) >= names_.size() || !names_[index]) {
        return false;
    }
    name = *names_[index];
    return true;
}

inline bool FakeMidiOutService::knownHandle(MidiHandle handle) const {
    return handle != 0 && open_.count(handle) != 0;
}

inline void FakeMidiOutService::record(OutCall call) {
    calls_.push_back(std::move(call));
}

inline bool FakeMidiOutService::open(MidiHandle& handle, std::int32_t deviceIndex) {
    std::lock_guard lock(mutex_);
    if (failures_.take(OutOp::Open)) {
        record({OutOp::Open, 0, deviceIndex, {}});
        return false;
    }
    handle = nextHandle_++;
    open_[handle] = deviceIndex;
    record({OutOp::Open, handle, deviceIndex, {}});
    return true;
}

inline bool FakeMidiOutService::close(MidiHandle handle) {
    std::lock_guard lock(mutex_);
    reset_.erase(handle);
    record({OutOp::Close, handle, 0, {}});
    if (failures_.take(OutOp::Close)) return false;
    if (!knownHandle(handle)) return false;
    if (std::any_of(pending_.begin(), pending_.end(),
                    [handle](const Pending& p) { return p.handle == handle; })) {
        closedUnderSend_ = true;
    }
    open_.erase(handle);
    return true;
}

inline bool FakeMidiOutService::prepareHeader(MidiHandle handle, MidiHeader& header) {
    std::lock_guard lock(mutex_);
    record({OutOp::Prepare, handle, 0, {}});
    if (failures_.take(OutOp::Prepare)) return false;
    if (!knownHandle(handle)) return false;
    prepared_.insert(&header);
    return true;
}

inline bool FakeMidiOutService::longMessage(MidiHandle handle, MidiHeader& header) {
    std::unique_lock lock(mutex_);
    std::vector<std::uint8_t> bytes;
    if (header.data != nullptr) bytes.assign(header.data, header.data + header.bufferLength);
    record({OutOp::LongMessage, handle, 0, bytes});
    if (failures_.take(OutOp::LongMessage)) return false;
    if (!knownHandle(handle)) return false;
    if (prepared_.count(&header) == 0) return false;
    if (reset_.count(handle) != 0) return false;
    sent_.push_back(std::move(bytes));
    if (completeLater_) {
        pending_.push_back({handle, &header});
        lock.unlock();
        pendingChanged_.notify_all();
        return true;
    }
    header.flags.fetch_or(kHeaderDone, std::memory_order_release);
    return true;
}

inline bool FakeMidiOutService::waitDone(MidiHandle handle, MidiHeader& header,
                                         std::uint32_t timeoutMs) {
    std::unique_lock lock(mutex_);
    record({OutOp::WaitDone, handle, 0, {}});
    lastWaitBound_ = timeoutMs;
    if (failures_.take(OutOp::WaitDone)) return false;
    if (!knownHandle(handle)) return false;
    auto isDone = [&header] { return (header.flags.load() & kHeaderDone) != 0; };
    if (!isDone() && waitsRunOut_) return false;
    // Woken by completeNextSend or reset: the test's events, never the passing of time.
    pendingChanged_.wait(lock, isDone);
    return cutShort_.count(&header) == 0;
}

inline bool FakeMidiOutService::unprepareHeader(MidiHandle handle, MidiHeader& header) {
    std::lock_guard lock(mutex_);
    record({OutOp::Unprepare, handle, 0, {}});
    if (failures_.take(OutOp::Unprepare)) return false;
    if (!knownHandle(handle)) return false;
    if (std::any_of(pending_.begin(), pending_.end(),
                    [&header](const Pending& p) { return p.header == &header; })) {
        return false;
    }
    prepared_.erase(&header);
    cutShort_.erase(&header);
    return true;
}

inline bool FakeMidiOutService::reset(MidiHandle handle) {
    {
        std::lock_guard lock(mutex_);
        record({OutOp::Reset, handle, 0, {}});
        if (failures_.take(OutOp::Reset)) return false;
        if (!knownHandle(handle)) return false;
        reset_.insert(handle);
        // Every buffer still held is handed back, marked done.
        for (auto it = pending_.begin(); it != pending_.end();) {
            if (it->handle != handle) {
                ++it;
                continue;
            }
            cutShort_.insert(it->header);
            it->header->flags.fetch_or(kHeaderDone, std::memory_order_release);
            it = pending_.erase(it);
        }
    }
    pendingChanged_.notify_all();
    return true;
}

inline void FakeMidiOutService::setDeviceNames(DeviceNames names) {
    std::lock_guard lock(mutex_);
    names_ = std::move(names);
}

inline void FakeMidiOutService::failNext(OutOp op, int times) {
    std::lock_guard lock(mutex_);
    failures_.fail(op, times);
}

inline void FakeMidiOutService::failAlways(OutOp op) {
    std::lock_guard lock(mutex_);
    failures_.fail(op, FailurePlan<OutOp>::kForever);
}

inline void FakeMidiOutService::clearFailures() {
    std::lock_guard lock(mutex_);
    failures_.clear();
}

inline void FakeMidiOutService::completeSendsLater(bool later) {
    std::lock_guard lock(mutex_);
    completeLater_ = later;
}

inline void FakeMidiOutService::waitForPendingSends(std::size_t count) {
    std::unique_lock lock(mutex_);
    pendingChanged_.wait(lock, [&] { return pending_.size() >= count; });
}

inline bool FakeMidiOutService::completeNextSend() {
    {
        std::lock_guard lock(mutex_);
        if (pending_.empty()) return false;
        // The header stays owned by the waiting sender, which is still inside its send.
        pending_.front().header->flags.fetch_or(kHeaderDone, std::memory_order_release);
        pending_.pop_front();
    }
    pendingChanged_.notify_all();
    return true;
}

inline void FakeMidiOutService::waitsRunOut(bool runOut) {
    std::lock_guard lock(mutex_);
    waitsRunOut_ = runOut;
}

inline std::uint32_t FakeMidiOutService::lastWaitBound() const {
    std::lock_guard lock(mutex_);
    return lastWaitBound_;
}

inline std::size_t FakeMidiOutService::pendingSends() const {
    std::lock_guard lock(mutex_);
    return pending_.size();
}

inline std::vector<OutCall> FakeMidiOutService::calls() const {
    std::lock_guard lock(mutex_);
    return calls_;
}

inline std::size_t FakeMidiOutService::count(OutOp op) const {
    std::lock_guard lock(mutex_);
    return static_cast<std::size_t>(
        std::count_if(calls_.begin(), calls_.end(), [op](const OutCall& c) { return c.op == op; }));
}

inline void FakeMidiOutService::clearCalls() {
    std::lock_guard lock(mutex_);
    calls_.clear();
}

inline std::vector<std::vector<std::uint8_t>> FakeMidiOutService::sent() const {
    std::lock_guard lock(mutex_);
    return sent_;
}

inline std::size_t FakeMidiOutService::openHandles() const {
    std::lock_guard lock(mutex_);
    return open_.size();
}

inline std::size_t FakeMidiOutService::preparedHeaders() const {
    std::lock_guard lock(mutex_);
    return prepared_.size();
}

inline bool FakeMidiOutService::closedUnderSend() const {
    std::lock_guard lock(mutex_);
    return closedUnderSend_;
}

}  // namespace pxr9::test
