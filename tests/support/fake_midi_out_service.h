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

enum class OutOp { Open, Close, Prepare, LongMessage, Unprepare };

struct OutCall {
    OutOp op;
    MidiHandle handle = 0;            // 0 for a failed open
    std::int32_t deviceIndex = 0;     // Open only
    std::vector<std::uint8_t> bytes;  // LongMessage only: the bytes handed over
};

// A MIDI output platform that records every call in order. Sends finish at once unless
// told to finish them later, when a test completes them from any thread. Like a real
// platform it refuses calls on unknown handles, long messages on unprepared headers, and
// unpreparing a header whose send has not finished.
class FakeMidiOutService final : public MidiOutService {
public:
    FakeMidiOutService();

    int deviceCount() override;
    bool deviceName(int index, std::string& name) override;
    int open(MidiHandle& handle, std::int32_t deviceIndex) override;
    int close(MidiHandle handle) override;
    int prepareHeader(MidiHandle handle, MidiHeader& header) override;
    int longMessage(MidiHandle handle, MidiHeader& header) override;
    int unprepareHeader(MidiHandle handle, MidiHeader& header) override;

    void setDeviceNames(DeviceNames names);
    // The next `times` calls of `op` fail with `result` without doing anything.
    void failNext(OutOp op, int times = 1, int result = kMidiError);
    void failAlways(OutOp op, int result = kMidiError);
    void clearFailures();

    // When true, accepted sends stay in progress until completeNextSend().
    void completeSendsLater(bool later);
    // Blocks until at least `count` sends are in progress.
    void waitForPendingSends(std::size_t count = 1);
    // Marks the oldest send in progress done; false when none is.
    bool completeNextSend();
    std::size_t pendingSends() const;

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
    bool completeLater_ = false;
    bool closedUnderSend_ = false;
    MidiHandle nextHandle_ = 0x1000;
};

}  // namespace pxr9::test
