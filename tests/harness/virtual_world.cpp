#include "tests/harness/virtual_world.h"

#include <algorithm>
#include <chrono>
#include <deque>
#include <utility>

namespace pxr9::testing {

namespace {
// Only a guard against a broken test; the expected path never waits this long.
constexpr auto kHeldWaitGuard = std::chrono::seconds(60);
}  // namespace

class VirtualWorld::OutService final : public MidiOutService {
public:
    explicit OutService(VirtualWorld& world) : world_(world) {}

    int deviceCount() override {
        std::lock_guard lock(world_.mutex_);
        return static_cast<int>(world_.portNames_.size());
    }
    bool deviceName(int index, std::string& name) override {
        std::lock_guard lock(world_.mutex_);
        if (index < 0 || index >= static_cast<int>(world_.portNames_.size())) return false;
        name = world_.portNames_[index];
        return true;
    }
    int open(MidiHandle& handle, std::int32_t deviceIndex) override {
        std::lock_guard lock(world_.mutex_);
        if (world_.failOutputOpen_ || deviceIndex < 0 ||
            deviceIndex >= static_cast<int>(world_.portNames_.size())) {
            return kMidiError;
        }
        handle = static_cast<MidiHandle>(deviceIndex) + 1;
        return kMidiOk;
    }
    int close(MidiHandle) override { return kMidiOk; }
    int prepareHeader(MidiHandle, MidiHeader&) override { return kMidiOk; }
    int unprepareHeader(MidiHandle, MidiHeader&) override { return kMidiOk; }
    int longMessage(MidiHandle handle, MidiHeader& header) override {
        world_.hostSent(handle, header.data, header.bufferLength);
        header.flags.fetch_or(kHeaderDone);
        return kMidiOk;
    }

private:
    VirtualWorld& world_;
};

// Records each message into the buffer the port lent, like the platform: one return per
// 8192 bytes, handed back through the callback.
class VirtualWorld::InService final : public MidiInService {
public:
    explicit InService(VirtualWorld& world) : world_(world) {}

    int deviceCount() override { return world_.out_->deviceCount(); }
    bool deviceName(int index, std::string& name) override {
        return world_.out_->deviceName(index, name);
    }
    int open(MidiHandle& handle, std::int32_t deviceIndex, MidiInCallback callback,
             void* instance) override {
        std::lock_guard lock(world_.mutex_);
        if (world_.failInputOpen_ || deviceIndex < 0 ||
            deviceIndex >= static_cast<int>(world_.portNames_.size())) {
            return kMidiError;
        }
        handle = static_cast<MidiHandle>(deviceIndex) + 1;
        handle_ = handle;
        callback_ = callback;
        instance_ = instance;
        open_ = true;
        return kMidiOk;
    }
    int reset(MidiHandle) override {
        std::lock_guard lock(world_.mutex_);
        std::deque<MidiHeader*> returned;
        returned.swap(lent_);
        for (MidiHeader* header : returned) {
            header->bytesRecorded = 0;
            header->flags.fetch_or(kHeaderDone);
            callback_(handle_, kMimLongData, instance_, reinterpret_cast<std::uintptr_t>(header),
                      0);
        }
        return kMidiOk;
    }
    int prepareHeader(MidiHandle, MidiHeader&) override { return kMidiOk; }
    int unprepareHeader(MidiHandle, MidiHeader&) override { return kMidiOk; }
    int addBuffer(MidiHandle, MidiHeader& header) override {
        std::lock_guard lock(world_.mutex_);
        header.flags.fetch_and(~kHeaderDone);
        lent_.push_back(&header);
        return kMidiOk;
    }
    int start(MidiHandle) override {
        std::lock_guard lock(world_.mutex_);
        started_ = true;
        return kMidiOk;
    }
    int stop(MidiHandle) override {
        std::lock_guard lock(world_.mutex_);
        started_ = false;
        return kMidiOk;
    }
    int close(MidiHandle) override {
        std::lock_guard lock(world_.mutex_);
        open_ = started_ = false;
        lent_.clear();
        return kMidiOk;
    }

    // Called with the world's lock held.
    void deliver(const std::vector<std::uint8_t>& bytes) {
        if (!open_ || !started_ || handle_ != static_cast<MidiHandle>(world_.deviceIndex_) + 1) {
            return;
        }
        for (std::size_t offset = 0; offset < bytes.size();) {
            if (lent_.empty()) return;  // no buffer lent: the platform drops the rest
            MidiHeader* header = lent_.front();
            lent_.pop_front();
            const std::size_t n = std::min<std::size_t>(header->bufferLength, bytes.size() - offset);
            std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(offset), n, header->data);
            header->bytesRecorded = static_cast<std::uint32_t>(n);
            header->flags.fetch_or(kHeaderDone);
            offset += n;
            callback_(handle_, kMimLongData, instance_, reinterpret_cast<std::uintptr_t>(header),
                      0);
        }
    }

private:
    VirtualWorld& world_;
    MidiHandle handle_ = 0;
    MidiInCallback callback_ = nullptr;
    void* instance_ = nullptr;
    bool open_ = false;
    bool started_ = false;
    std::deque<MidiHeader*> lent_;
};

// The poll timer: it ticks when the world delivers something, never on its own.
class VirtualWorld::Timer final : public TimerPlatform {
public:
    explicit Timer(VirtualWorld& world) : world_(world) {}

    int getDevCaps(TimerCaps& caps) override {
        caps.periodMin = 1;
        caps.periodMax = 1000000;
        return 0;
    }
    int beginPeriod(std::uint32_t) override { return 0; }
    int endPeriod(std::uint32_t) override { return 0; }
    std::uint32_t setEvent(std::uint32_t, std::uint32_t, TimerCallback callback,
                           std::uintptr_t userData, std::uint32_t) override {
        std::lock_guard lock(world_.tickMutex_);
        callback_ = callback;
        userData_ = userData;
        return 1;
    }
    int killEvent(std::uint32_t) override {
        std::lock_guard lock(world_.tickMutex_);  // waits out a running tick
        callback_ = nullptr;
        return 0;
    }

    // Called with the tick lock held.
    void fire() {
        if (callback_ != nullptr) callback_(1, 0, userData_, 0, 0);
    }

private:
    VirtualWorld& world_;
    TimerCallback callback_ = nullptr;
    std::uintptr_t userData_ = 0;
};

class VirtualWorld::Event final : public ReplyEvent {
public:
    explicit Event(VirtualWorld& world) : world_(world) {}

    void set() override {
        {
            std::lock_guard lock(mutex_);
            signalled_ = true;
        }
        changed_.notify_all();
    }
    void reset() override {
        std::lock_guard lock(mutex_);
        signalled_ = false;
    }
    bool wait(std::uint32_t timeoutMs) override { return world_.waitFor(*this, timeoutMs); }

    bool consume() {
        std::lock_guard lock(mutex_);
        return std::exchange(signalled_, false);
    }
    bool waitReal() {
        std::unique_lock lock(mutex_);
        if (!changed_.wait_for(lock, kHeldWaitGuard, [this] { return signalled_; })) return false;
        signalled_ = false;
        return true;
    }

private:
    VirtualWorld& world_;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool signalled_ = false;
};

class VirtualWorld::VirtualClock final : public Clock {
public:
    explicit VirtualClock(VirtualWorld& world) : world_(world) {}
    void sleep(std::uint32_t ms) override { world_.sleepFor(ms); }

private:
    VirtualWorld& world_;
};

VirtualWorld::VirtualWorld(sim::SimConfig config)
    : device_(std::make_unique<sim::SimDevice>(std::move(config))),
      out_(std::make_unique<OutService>(*this)),
      in_(std::make_unique<InService>(*this)),
      timer_(std::make_unique<Timer>(*this)),
      event_(std::make_unique<Event>(*this)),
      clock_(std::make_unique<VirtualClock>(*this)) {}

VirtualWorld::~VirtualWorld() = default;

UpdaterPlatform VirtualWorld::platform() {
    return UpdaterPlatform{*in_, *out_, *timer_, *event_, *clock_};
}

std::uint64_t VirtualWorld::nowMs() const {
    std::lock_guard lock(mutex_);
    return now_;
}

std::vector<SentMessage> VirtualWorld::sent() const {
    std::lock_guard lock(mutex_);
    return sent_;
}

void VirtualWorld::clearSent() {
    std::lock_guard lock(mutex_);
    sent_.clear();
}

void VirtualWorld::setPorts(std::vector<std::string> names, int deviceIndex) {
    std::lock_guard lock(mutex_);
    portNames_ = std::move(names);
    deviceIndex_ = deviceIndex;
}

void VirtualWorld::failOpens(bool output, bool input) {
    std::lock_guard lock(mutex_);
    failOutputOpen_ = output;
    failInputOpen_ = input;
}

void VirtualWorld::holdTimeouts(bool hold) {
    std::lock_guard lock(mutex_);
    holdTimeouts_ = hold;
}

void VirtualWorld::scheduleFromDevice(std::uint64_t atMs, std::vector<std::uint8_t> bytes) {
    std::lock_guard lock(mutex_);
    schedule_.emplace(atMs, Scheduled{std::move(bytes), {}});
}

void VirtualWorld::whenHostSends(std::function<bool(const std::vector<std::uint8_t>&)> match,
                                 std::function<void()> action) {
    std::lock_guard lock(mutex_);
    triggers_.push_back(Trigger{std::move(match), std::move(action)});
}

void VirtualWorld::hostSent(MidiHandle handle, const std::uint8_t* bytes, std::size_t size) {
    std::lock_guard lock(mutex_);
    sent_.push_back(SentMessage{now_, std::vector<std::uint8_t>(bytes, bytes + size)});
    for (auto it = triggers_.begin(); it != triggers_.end(); ++it) {
        if (it->match(sent_.back().bytes)) {
            schedule_.emplace(now_ + 1, Scheduled{{}, std::move(it->action)});
            triggers_.erase(it);
            break;
        }
    }
    if (handle != static_cast<MidiHandle>(deviceIndex_) + 1) return;
    for (auto& answer : device_->receive(bytes, size, now_)) {
        schedule_.emplace(std::max(answer.atMs, now_), Scheduled{std::move(answer.bytes), {}});
    }
}

bool VirtualWorld::deliverNext(std::uint64_t deadline) {
    std::function<void()> action;
    {
        std::lock_guard lock(mutex_);
        if (schedule_.empty() || schedule_.begin()->first > deadline) return false;
        auto node = schedule_.extract(schedule_.begin());
        now_ = std::max(now_, node.key());
        if (!node.mapped().action) {
            in_->deliver(node.mapped().bytes);
            return true;
        }
        action = std::move(node.mapped().action);
    }
    action();  // outside the lock: it may close ports or signal from the test's side
    return true;
}

void VirtualWorld::tick() {
    std::lock_guard lock(tickMutex_);
    timer_->fire();
}

bool VirtualWorld::waitFor(Event& event, std::uint32_t timeoutMs) {
    std::uint64_t deadline;
    {
        std::lock_guard lock(mutex_);
        deadline = now_ + timeoutMs;
    }
    while (!event.consume()) {
        if (!deliverNext(deadline)) {
            if (event.consume()) return true;
            bool hold;
            {
                std::lock_guard lock(mutex_);
                hold = holdTimeouts_;
            }
            if (hold && event.waitReal()) return true;
            std::lock_guard lock(mutex_);
            now_ = std::max(now_, deadline);
            return false;
        }
        tick();
    }
    return true;
}

void VirtualWorld::sleepFor(std::uint32_t ms) {
    std::uint64_t deadline;
    {
        std::lock_guard lock(mutex_);
        deadline = now_ + ms;
    }
    while (deliverNext(deadline)) tick();
    std::lock_guard lock(mutex_);
    now_ = std::max(now_, deadline);
}

}  // namespace pxr9::testing
