#pragma once

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <cstring>
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

enum class InOp { Open, Reset, Prepare, AddBuffer, Start, Stop, Unprepare, Close };

struct InCall {
    InOp op;
    MidiHandle handle = 0;               // 0 for a failed open
    std::int32_t deviceIndex = 0;        // Open only
    const MidiHeader* header = nullptr;  // Prepare, AddBuffer, Unprepare
};

// A MIDI input platform that records every call in order and behaves like a real one where
// the port's logic depends on it:
// - each device can be open on one handle at a time;
// - lent buffers are held in order; a test "records" into them with deliver(), which fills
//   the oldest lent buffer, sets its recorded count and done flag and calls the callback with
//   kMimLongData; a message longer than the buffer comes back in buffer-sized pieces, each
//   needing a buffer lent again;
// - reset() hands every lent buffer back with nothing recorded;
// - unprepare and close refuse while a buffer is still lent;
// - open and close send their notices, and no callback runs after close has returned.
// Callbacks run on the thread that caused them (deliver, reset, open, close).
class FakeMidiInService final : public MidiInService {
  public:
    FakeMidiInService();

    int deviceCount() override;
    bool deviceName(int index, std::string& name) override;
    bool open(MidiHandle& handle, std::int32_t deviceIndex, MidiInCallback callback,
              void* instance) override;
    bool reset(MidiHandle handle) override;
    bool prepareHeader(MidiHandle handle, MidiHeader& header) override;
    bool addBuffer(MidiHandle handle, MidiHeader& header) override;
    bool start(MidiHandle handle) override;
    bool stop(MidiHandle handle) override;
    bool unprepareHeader(MidiHandle handle, MidiHeader& header) override;
    bool close(MidiHandle handle) override;

    void setDeviceNames(DeviceNames names);
    void failNext(InOp op, int times = 1);
    void failAlways(InOp op);
    void clearFailures();

    // Platform side; each acts on the most recently opened handle that is still open and
    // returns false when it could not (no such handle, not started, no buffer lent).
    bool deliver(const std::vector<std::uint8_t>& bytes);
    // A return of the buffer with the done flag but nothing recorded.
    bool returnEmpty();
    // A return of the buffer with `bytes` recorded but the done flag clear.
    bool returnNotDone(const std::vector<std::uint8_t>& bytes);
    // A return of the buffer with `bytes` recorded and done, under another notice (e.g. the
    // one for an invalid SysEx message).
    bool returnWithNotice(std::uint32_t notice, const std::vector<std::uint8_t>& bytes);
    // A short message (kMimData); needs no buffer.
    bool sendShort(std::uint32_t message);

    std::vector<InCall> calls() const;
    std::size_t count(InOp op) const;
    void clearCalls();
    std::size_t openHandles() const;
    std::size_t lentBuffers() const;
    // Whether the platform still holds this buffer (lent or prepared on any handle).
    bool holds(const MidiHeader* header) const;

  private:
    struct Port {
        std::int32_t device = 0;
        MidiInCallback callback = nullptr;
        void* instance = nullptr;
        bool started = false;
        std::deque<MidiHeader*> lent;
        std::set<const MidiHeader*> prepared;
        int callbacksRunning = 0;
    };

    Port* port(MidiHandle handle);
    MidiHandle newestHandle() const;
    void record(InCall call);
    // Runs the callback of `handle` outside the lock; `lock` is held on entry and on return.
    void notify(std::unique_lock<std::mutex>& lock, MidiHandle handle, std::uint32_t notice,
                std::uintptr_t param1);
    bool returnBuffer(std::uint32_t notice, const std::uint8_t* bytes, std::size_t n, bool done,
                      std::size_t* taken);

    mutable std::mutex mutex_;
    std::condition_variable callbacksDone_;
    DeviceNames names_;
    FailurePlan<InOp> failures_;
    std::vector<InCall> calls_;
    std::map<MidiHandle, Port> ports_;
    std::vector<MidiHandle> openOrder_;
    MidiHandle nextHandle_ = 0x2000;
};

// Defined here so that any target can use the fakes with nothing more to link.

inline FakeMidiInService::FakeMidiInService() : names_{std::string("Fake MIDI In")} {}

inline int FakeMidiInService::deviceCount() {
    std::lock_guard lock(mutex_);
    return static_cast<int>(names_.size());
}

inline bool FakeMidiInService::deviceName(int index, std::string& name) {
    std::lock_guard lock(mutex_);
    if (index < 0 || static_cast<std::size_t>(index) >= names_.size() || !names_[index]) {
        return false;
    }
    name = *names_[index];
    return true;
}

inline FakeMidiInService::Port* FakeMidiInService::port(MidiHandle handle) {
    auto it = ports_.find(handle);
    return it == ports_.end() ? nullptr : &it->second;
}

inline MidiHandle FakeMidiInService::newestHandle() const {
    return openOrder_.empty() ? 0 : openOrder_.back();
}

inline void FakeMidiInService::record(InCall call) {
    calls_.push_back(call);
}

inline void FakeMidiInService::notify(std::unique_lock<std::mutex>& lock, MidiHandle handle,
                                      std::uint32_t notice, std::uintptr_t param1) {
    Port* p = port(handle);
    if (p == nullptr || p->callback == nullptr) return;
    const MidiInCallback callback = p->callback;
    void* const instance = p->instance;
    ++p->callbacksRunning;
    lock.unlock();
    callback(handle, notice, instance, param1, 0);
    lock.lock();
    // Close waits for running callbacks, so the port is still there.
    --port(handle)->callbacksRunning;
    callbacksDone_.notify_all();
}

inline bool FakeMidiInService::open(MidiHandle& handle, std::int32_t deviceIndex,
                                    MidiInCallback callback, void* instance) {
    std::unique_lock lock(mutex_);
    if (failures_.take(InOp::Open)) {
        record({InOp::Open, 0, deviceIndex, nullptr});
        return false;
    }
    if (deviceIndex < 0 || static_cast<std::size_t>(deviceIndex) >= names_.size()) {
        record({InOp::Open, 0, deviceIndex, nullptr});
        return false;
    }
    for (const auto& [h, p] : ports_) {
        if (p.device == deviceIndex) {
            record({InOp::Open, 0, deviceIndex, nullptr});
            return false;
        }
    }
    const MidiHandle h = nextHandle_++;
    Port& p = ports_[h];
    p.device = deviceIndex;
    p.callback = callback;
    p.instance = instance;
    openOrder_.push_back(h);
    handle = h;
    record({InOp::Open, h, deviceIndex, nullptr});
    notify(lock, h, kMimOpen, 0);
    return true;
}

inline bool FakeMidiInService::reset(MidiHandle handle) {
    std::unique_lock lock(mutex_);
    record({InOp::Reset, handle, 0, nullptr});
    if (failures_.take(InOp::Reset)) return false;
    Port* p = port(handle);
    if (p == nullptr) return false;
    p->started = false;
    // Every lent buffer comes back done with nothing recorded, oldest first.
    while (!p->lent.empty()) {
        MidiHeader* header = p->lent.front();
        p->lent.pop_front();
        header->bytesRecorded = 0;
        header->flags.fetch_or(kHeaderDone, std::memory_order_release);
        notify(lock, handle, kMimLongData, reinterpret_cast<std::uintptr_t>(header));
        p = port(handle);
    }
    return true;
}

inline bool FakeMidiInService::prepareHeader(MidiHandle handle, MidiHeader& header) {
    std::lock_guard lock(mutex_);
    record({InOp::Prepare, handle, 0, &header});
    if (failures_.take(InOp::Prepare)) return false;
    Port* p = port(handle);
    if (p == nullptr) return false;
    if (header.data == nullptr || header.bufferLength == 0) return false;
    p->prepared.insert(&header);
    return true;
}

inline bool FakeMidiInService::addBuffer(MidiHandle handle, MidiHeader& header) {
    std::lock_guard lock(mutex_);
    record({InOp::AddBuffer, handle, 0, &header});
    if (failures_.take(InOp::AddBuffer)) return false;
    Port* p = port(handle);
    if (p == nullptr) return false;
    if (p->prepared.count(&header) == 0) return false;
    if (std::find(p->lent.begin(), p->lent.end(), &header) != p->lent.end()) {
        return false;
    }
    header.bytesRecorded = 0;
    header.flags.fetch_and(~kHeaderDone, std::memory_order_relaxed);
    p->lent.push_back(&header);
    return true;
}

inline bool FakeMidiInService::start(MidiHandle handle) {
    std::lock_guard lock(mutex_);
    record({InOp::Start, handle, 0, nullptr});
    if (failures_.take(InOp::Start)) return false;
    Port* p = port(handle);
    if (p == nullptr) return false;
    p->started = true;
    return true;
}

inline bool FakeMidiInService::stop(MidiHandle handle) {
    std::lock_guard lock(mutex_);
    record({InOp::Stop, handle, 0, nullptr});
    if (failures_.take(InOp::Stop)) return false;
    Port* p = port(handle);
    if (p == nullptr) return false;
    p->started = false;
    return true;
}

inline bool FakeMidiInService::unprepareHeader(MidiHandle handle, MidiHeader& header) {
    std::lock_guard lock(mutex_);
    record({InOp::Unprepare, handle, 0, &header});
    if (failures_.take(InOp::Unprepare)) return false;
    Port* p = port(handle);
    if (p == nullptr) return false;
    if (std::find(p->lent.begin(), p->lent.end(), &header) != p->lent.end()) {
        return false;
    }
    p->prepared.erase(&header);
    return true;
}

inline bool FakeMidiInService::close(MidiHandle handle) {
    std::unique_lock lock(mutex_);
    record({InOp::Close, handle, 0, nullptr});
    if (failures_.take(InOp::Close)) return false;
    Port* p = port(handle);
    if (p == nullptr) return false;
    if (!p->lent.empty()) return false;
    notify(lock, handle, kMimClose, 0);
    // No callback may run once close has returned (not to be called from a callback).
    callbacksDone_.wait(lock, [&] { return port(handle)->callbacksRunning == 0; });
    ports_.erase(handle);
    openOrder_.erase(std::remove(openOrder_.begin(), openOrder_.end(), handle), openOrder_.end());
    return true;
}

inline bool FakeMidiInService::returnBuffer(std::uint32_t notice, const std::uint8_t* bytes,
                                            std::size_t n, bool done, std::size_t* taken) {
    std::unique_lock lock(mutex_);
    const MidiHandle handle = newestHandle();
    Port* p = port(handle);
    if (p == nullptr || !p->started || p->lent.empty()) return false;
    MidiHeader* header = p->lent.front();
    p->lent.pop_front();
    const std::size_t k = std::min<std::size_t>(n, header->bufferLength);
    if (k > 0) std::memcpy(header->data, bytes, k);
    header->bytesRecorded = static_cast<std::uint32_t>(k);
    if (done) header->flags.fetch_or(kHeaderDone, std::memory_order_release);
    if (taken != nullptr) *taken = k;
    notify(lock, handle, notice, reinterpret_cast<std::uintptr_t>(header));
    return true;
}

inline bool FakeMidiInService::deliver(const std::vector<std::uint8_t>& bytes) {
    std::size_t offset = 0;
    do {
        std::size_t taken = 0;
        if (!returnBuffer(kMimLongData, bytes.data() + offset, bytes.size() - offset, true,
                          &taken)) {
            return false;
        }
        offset += taken;
    } while (offset < bytes.size());
    return true;
}

inline bool FakeMidiInService::returnEmpty() {
    return returnBuffer(kMimLongData, nullptr, 0, true, nullptr);
}

inline bool FakeMidiInService::returnNotDone(const std::vector<std::uint8_t>& bytes) {
    return returnBuffer(kMimLongData, bytes.data(), bytes.size(), false, nullptr);
}

inline bool FakeMidiInService::returnWithNotice(std::uint32_t notice,
                                                const std::vector<std::uint8_t>& bytes) {
    return returnBuffer(notice, bytes.data(), bytes.size(), true, nullptr);
}

inline bool FakeMidiInService::sendShort(std::uint32_t message) {
    std::unique_lock lock(mutex_);
    const MidiHandle handle = newestHandle();
    Port* p = port(handle);
    if (p == nullptr || !p->started) return false;
    notify(lock, handle, kMimData, message);
    return true;
}

inline void FakeMidiInService::setDeviceNames(DeviceNames names) {
    std::lock_guard lock(mutex_);
    names_ = std::move(names);
}

inline void FakeMidiInService::failNext(InOp op, int times) {
    std::lock_guard lock(mutex_);
    failures_.fail(op, times);
}

inline void FakeMidiInService::failAlways(InOp op) {
    std::lock_guard lock(mutex_);
    failures_.fail(op, FailurePlan<InOp>::kForever);
}

inline void FakeMidiInService::clearFailures() {
    std::lock_guard lock(mutex_);
    failures_.clear();
}

inline std::vector<InCall> FakeMidiInService::calls() const {
    std::lock_guard lock(mutex_);
    return calls_;
}

inline std::size_t FakeMidiInService::count(InOp op) const {
    std::lock_guard lock(mutex_);
    return static_cast<std::size_t>(
        std::count_if(calls_.begin(), calls_.end(), [op](const InCall& c) { return c.op == op; }));
}

inline void FakeMidiInService::clearCalls() {
    std::lock_guard lock(mutex_);
    calls_.clear();
}

inline std::size_t FakeMidiInService::openHandles() const {
    std::lock_guard lock(mutex_);
    return ports_.size();
}

inline std::size_t FakeMidiInService::lentBuffers() const {
    std::lock_guard lock(mutex_);
    std::size_t n = 0;
    for (const auto& [h, p] : ports_) n += p.lent.size();
    return n;
}

inline bool FakeMidiInService::holds(const MidiHeader* header) const {
    std::lock_guard lock(mutex_);
    for (const auto& [h, p] : ports_) {
        if (p.prepared.count(header) != 0) return true;
        if (std::find(p.lent.begin(), p.lent.end(), header) != p.lent.end()) return true;
    }
    return false;
}

}  // namespace pxr9::test
