#include "tests/doubles/virtual_world.h"

#include <algorithm>
#include <chrono>
#include <utility>

namespace pxr9::testing {

namespace {
// Only a guard against a broken test; the expected path never waits this long.
constexpr auto kHeldWaitGuard = std::chrono::seconds(60);
}  // namespace

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
      out_(ports_, [this](int port, const std::uint8_t* bytes,
                          std::size_t size) { return hostSent(port, bytes, size); }),
      in_(ports_),
      event_(std::make_unique<Event>(*this)),
      clock_(std::make_unique<VirtualClock>(*this)) {}

VirtualWorld::~VirtualWorld() = default;

UpdaterPlatform VirtualWorld::platform() {
    return UpdaterPlatform{inputs_, outputs_, *event_, *clock_, this};
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
    ports_.set(std::move(names), deviceIndex);
}

void VirtualWorld::failOpens(bool output, bool input) {
    ports_.failOpens(output, input);
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

void VirtualWorld::takeBackSends(std::function<bool(const std::vector<std::uint8_t>&)> match) {
    std::lock_guard lock(mutex_);
    takeBack_ = std::move(match);
}

void VirtualWorld::unplug() {
    ports_.unplug(true);
    in_.end();
    std::lock_guard lock(mutex_);
    // What the device was about to send goes with the cable; a test's own actions stay.
    std::erase_if(schedule_, [](const auto& item) { return !item.second.action; });
}

void VirtualWorld::replug() {
    ports_.unplug(false);
}

bool VirtualWorld::hostSent(int port, const std::uint8_t* bytes, std::size_t size) {
    std::lock_guard lock(mutex_);
    sent_.push_back(SentMessage{now_, std::vector<std::uint8_t>(bytes, bytes + size)});
    for (auto it = triggers_.begin(); it != triggers_.end(); ++it) {
        if (it->match(sent_.back().bytes)) {
            schedule_.emplace(now_ + 1, Scheduled{{}, std::move(it->action)});
            triggers_.erase(it);
            break;
        }
    }
    const bool takenBack = takeBack_ && takeBack_(sent_.back().bytes);
    if (port != ports_.deviceIndex()) return !takenBack;
    for (auto& answer : device_->receive(bytes, size, now_)) {
        schedule_.emplace(std::max(answer.atMs, now_), Scheduled{std::move(answer.bytes), {}});
    }
    return !takenBack;
}

bool VirtualWorld::deliverNext(std::uint64_t deadline) {
    std::function<void()> action;
    {
        std::lock_guard lock(mutex_);
        if (schedule_.empty() || schedule_.begin()->first > deadline) return false;
        auto node = schedule_.extract(schedule_.begin());
        now_ = std::max(now_, node.key());
        if (!node.mapped().action) {
            in_.deliver(node.mapped().bytes);
            return true;
        }
        action = std::move(node.mapped().action);
    }
    action();  // outside the lock: it may close ports or signal from the test's side
    return true;
}

bool VirtualWorld::deliverAlongWith(std::uint64_t atMs) {
    std::lock_guard lock(mutex_);
    if (schedule_.empty() || schedule_.begin()->first != atMs) return false;
    if (schedule_.begin()->second.action) return false;
    auto node = schedule_.extract(schedule_.begin());
    in_.deliver(node.mapped().bytes);
    return true;
}

void VirtualWorld::watch(DispatchThread* dispatcher) {
    std::lock_guard lock(dispatcherMutex_);
    dispatcher_ = dispatcher;
}

void VirtualWorld::awaitDispatch() {
    std::lock_guard lock(dispatcherMutex_);
    if (dispatcher_ != nullptr) dispatcher_->waitDispatched();
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
        // Messages that leave the device together arrive together, before the worker goes on.
        while (deliverAlongWith(nowMs())) {
        }
        awaitDispatch();
    }
    return true;
}

void VirtualWorld::sleepFor(std::uint32_t ms) {
    std::uint64_t deadline;
    {
        std::lock_guard lock(mutex_);
        deadline = now_ + ms;
    }
    while (deliverNext(deadline)) awaitDispatch();
    std::lock_guard lock(mutex_);
    now_ = std::max(now_, deadline);
}

}  // namespace pxr9::testing
