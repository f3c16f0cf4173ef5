#pragma once

#include <atomic>
#include <condition_variable>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "app/message_boxes.h"
#include "engine/updater_state.h"
#include "platform/real_time.h"
#include "tests/doubles/fake_timer_platform.h"

namespace pxr9::testing {

// Device names of one direction; an empty optional is a name that cannot be read.
struct FakeDevices {
    std::vector<std::optional<std::string>> names;
    std::set<int> failingOpens;
    std::vector<int> openedIndexes;

    int count() const { return static_cast<int>(names.size()); }
    bool name(int index, std::string& out) const {
        if (index < 0 || index >= count() || !names[index]) return false;
        out = *names[index];
        return true;
    }
    bool opens(int index) {
        openedIndexes.push_back(index);
        return index >= 0 && index < count() && !failingOpens.contains(index);
    }
};

// Accepts every send at once; the device never answers. With `stuckSends`, a send never
// finishes, like one to a device that stopped taking bytes: it stays in the platform until a
// reset cuts it short, and every later send fails at once until the next open.
class FakeMidiOut final : public MidiOutService {
  public:
    FakeDevices devices;
    int openCount = 0;
    int closeCount = 0;
    std::atomic<bool> stuckSends{false};

    int deviceCount() override { return devices.count(); }
    bool deviceName(int index, std::string& name) override { return devices.name(index, name); }
    bool open(MidiHandle& handle, std::int32_t index) override {
        if (!devices.opens(index)) return false;
        ++openCount;
        handle = static_cast<MidiHandle>(index) + 1;
        std::lock_guard lock(mutex_);
        cut_ = false;
        return true;
    }
    bool close(MidiHandle) override {
        ++closeCount;
        return true;
    }
    bool prepareHeader(MidiHandle, MidiHeader&) override { return true; }
    bool longMessage(MidiHandle, MidiHeader& header) override {
        {
            std::lock_guard lock(mutex_);
            ++sends_;
            changed_.notify_all();
        }
        if (stuckSends.load()) {
            std::unique_lock lock(mutex_);
            ++stuck_;
            changed_.notify_all();
            changed_.wait(lock, [this] { return cut_; });
            --stuck_;
            return false;
        }
        header.flags.fetch_or(kHeaderDone);
        return true;
    }
    bool waitDone(MidiHandle, MidiHeader&, std::uint32_t) override { return true; }
    bool unprepareHeader(MidiHandle, MidiHeader&) override { return true; }
    bool reset(MidiHandle) override {
        std::lock_guard lock(mutex_);
        cut_ = true;
        ++resets_;
        changed_.notify_all();
        return true;
    }

    // Blocks until `count` sends have reached the platform.
    void waitForSends(int count) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this, count] { return sends_ >= count; });
    }
    bool hasStuckSend() {
        std::lock_guard lock(mutex_);
        return stuck_ > 0;
    }
    int resets() {
        std::lock_guard lock(mutex_);
        return resets_;
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    int sends_ = 0;
    int stuck_ = 0;
    bool cut_ = false;
    int resets_ = 0;
};

// Holds the lent buffer until a reset hands it back empty, as a platform does.
class FakeMidiIn final : public MidiInService {
  public:
    FakeDevices devices;
    int openCount = 0;
    int closeCount = 0;

    int deviceCount() override { return devices.count(); }
    bool deviceName(int index, std::string& name) override { return devices.name(index, name); }
    bool open(MidiHandle& handle, std::int32_t index, MidiInCallback callback,
              void* instance) override {
        if (!devices.opens(index)) return false;
        ++openCount;
        handle = static_cast<MidiHandle>(index) + 1;
        callback_ = callback;
        instance_ = instance;
        return true;
    }
    bool reset(MidiHandle handle) override {
        if (lent_) {
            MidiHeader* header = lent_;
            lent_ = nullptr;
            header->bytesRecorded = 0;
            header->flags.fetch_or(kHeaderDone);
            callback_(handle, kMimLongData, instance_, reinterpret_cast<std::uintptr_t>(header), 0);
        }
        return true;
    }
    bool prepareHeader(MidiHandle, MidiHeader&) override { return true; }
    bool addBuffer(MidiHandle, MidiHeader& header) override {
        header.flags.store(0);
        lent_ = &header;
        return true;
    }
    bool start(MidiHandle) override { return true; }
    bool stop(MidiHandle) override { return true; }
    bool unprepareHeader(MidiHandle, MidiHeader&) override { return true; }
    bool close(MidiHandle) override {
        ++closeCount;
        lent_ = nullptr;
        return true;
    }

  private:
    MidiInCallback callback_ = nullptr;
    void* instance_ = nullptr;
    MidiHeader* lent_ = nullptr;
};

// Pauses cost nothing: tests never wait for time to pass.
class InstantClock final : public Clock {
  public:
    void sleep(std::uint32_t) override {}
};

struct ShownBox {
    QString text;
    QString caption;
    BoxIcon icon;
    bool operator==(const ShownBox&) const = default;
};

// Answers every box at once and remembers it; `onShow` sees the dialog as the box would.
class RecordingBoxes final : public MessageBoxes {
  public:
    std::vector<ShownBox> shown;
    std::function<void()> onShow;

    void show(QWidget*, const QString& text, const QString& caption, BoxIcon icon) override {
        shown.push_back({text, caption, icon});
        if (onShow) onShow();
    }
};

// Everything a dialog runs on, with a real reply event so closing can release a worker.
struct FakePlatform {
    FakeMidiIn in;
    FakeMidiOut out;
    test::FakeTimerPlatform timer;
    RealReplyEvent event;
    InstantClock clock;

    UpdaterPlatform platform() { return {in, out, timer, event, clock}; }
    void setNames(std::vector<std::optional<std::string>> names) {
        in.devices.names = names;
        out.devices.names = std::move(names);
    }
};

}  // namespace pxr9::testing
