#pragma once

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
#include "tests/support/failure_plan.h"
#include "tests/support/fake_device_names.h"

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
    int open(MidiHandle& handle, std::int32_t deviceIndex, MidiInCallback callback,
             void* instance) override;
    int reset(MidiHandle handle) override;
    int prepareHeader(MidiHandle handle, MidiHeader& header) override;
    int addBuffer(MidiHandle handle, MidiHeader& header) override;
    int start(MidiHandle handle) override;
    int stop(MidiHandle handle) override;
    int unprepareHeader(MidiHandle handle, MidiHeader& header) override;
    int close(MidiHandle handle) override;

    void setDeviceNames(DeviceNames names);
    void failNext(InOp op, int times = 1, int result = kMidiError);
    void failAlways(InOp op, int result = kMidiError);
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

}  // namespace pxr9::test
