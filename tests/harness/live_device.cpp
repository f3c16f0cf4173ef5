#include "tests/harness/live_device.h"

#include <algorithm>

namespace pxr9::testing {

class LiveDevice::Out final : public MidiOutService {
public:
    explicit Out(LiveDevice& device) : device_(device) {}

    int deviceCount() override {
        std::lock_guard lock(device_.mutex_);
        return static_cast<int>(device_.portNames_.size());
    }
    bool deviceName(int index, std::string& name) override {
        std::lock_guard lock(device_.mutex_);
        if (index < 0 || index >= static_cast<int>(device_.portNames_.size())) return false;
        name = device_.portNames_[index];
        return true;
    }
    int open(MidiHandle& handle, std::int32_t deviceIndex) override {
        if (deviceIndex < 0 || deviceIndex >= deviceCount()) return kMidiError;
        handle = static_cast<MidiHandle>(deviceIndex) + 1;
        return kMidiOk;
    }
    int close(MidiHandle) override { return kMidiOk; }
    int prepareHeader(MidiHandle, MidiHeader&) override { return kMidiOk; }
    int unprepareHeader(MidiHandle, MidiHeader&) override { return kMidiOk; }
    int longMessage(MidiHandle handle, MidiHeader& header) override {
        device_.hostSent(handle, header.data, header.bufferLength);
        header.flags.fetch_or(kHeaderDone);
        return kMidiOk;
    }

private:
    LiveDevice& device_;
};

class LiveDevice::In final : public MidiInService {
public:
    explicit In(LiveDevice& device) : device_(device) {}

    int deviceCount() override { return device_.out_->deviceCount(); }
    bool deviceName(int index, std::string& name) override {
        return device_.out_->deviceName(index, name);
    }
    int open(MidiHandle& handle, std::int32_t deviceIndex, MidiInCallback callback,
             void* instance) override {
        if (deviceIndex < 0 || deviceIndex >= deviceCount()) return kMidiError;
        std::lock_guard lock(mutex_);
        handle = handle_ = static_cast<MidiHandle>(deviceIndex) + 1;
        callback_ = callback;
        instance_ = instance;
        return kMidiOk;
    }
    int reset(MidiHandle) override {
        std::unique_lock lock(mutex_);
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
        std::lock_guard lock(mutex_);
        header.flags.fetch_and(~kHeaderDone);
        lent_.push_back(&header);
        return kMidiOk;
    }
    int start(MidiHandle) override {
        std::lock_guard lock(mutex_);
        started_ = true;
        return kMidiOk;
    }
    int stop(MidiHandle) override {
        std::lock_guard lock(mutex_);
        started_ = false;
        return kMidiOk;
    }
    int close(MidiHandle) override {
        // Waits out a delivery in progress: after close no callback runs.
        std::lock_guard lock(mutex_);
        started_ = false;
        handle_ = 0;
        lent_.clear();
        return kMidiOk;
    }

    // On the delivery thread. The lock is recursive: the callback lends the buffer again.
    void deliver(const std::vector<std::uint8_t>& bytes, int deviceIndex) {
        std::lock_guard lock(mutex_);
        if (!started_ || handle_ != static_cast<MidiHandle>(deviceIndex) + 1) return;
        for (std::size_t offset = 0; offset < bytes.size();) {
            if (lent_.empty()) return;
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
    LiveDevice& device_;
    std::recursive_mutex mutex_;
    MidiHandle handle_ = 0;
    MidiInCallback callback_ = nullptr;
    void* instance_ = nullptr;
    bool started_ = false;
    std::deque<MidiHeader*> lent_;
};

LiveDevice::LiveDevice(sim::SimConfig config)
    : device_(std::move(config)),
      out_(std::make_unique<Out>(*this)),
      in_(std::make_unique<In>(*this)),
      delivery_([this] { deliveryLoop(); }) {}

LiveDevice::~LiveDevice() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    delivery_.join();
}

MidiOutService& LiveDevice::output() { return *out_; }
MidiInService& LiveDevice::input() { return *in_; }

void LiveDevice::withDevice(const std::function<void(sim::SimDevice&)>& fn) {
    std::lock_guard lock(mutex_);
    fn(device_);
}

void LiveDevice::onHostSend(std::function<void(const std::uint8_t*, std::size_t)> observer) {
    std::lock_guard lock(mutex_);
    observer_ = std::move(observer);
}

void LiveDevice::setPorts(std::vector<std::string> names, int deviceIndex) {
    std::lock_guard lock(mutex_);
    portNames_ = std::move(names);
    deviceIndex_ = deviceIndex;
}

std::uint64_t LiveDevice::elapsedMs() const {
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                          std::chrono::steady_clock::now() - start_)
                                          .count());
}

void LiveDevice::hostSent(MidiHandle handle, const std::uint8_t* bytes, std::size_t size) {
    {
        std::lock_guard lock(mutex_);
        if (observer_) observer_(bytes, size);
        if (handle != static_cast<MidiHandle>(deviceIndex_) + 1) return;
        for (auto& answer : device_.receive(bytes, size, elapsedMs())) {
            pending_.push_back(std::move(answer));
        }
    }
    changed_.notify_all();
}

void LiveDevice::deliveryLoop() {
    std::unique_lock lock(mutex_);
    while (true) {
        changed_.wait(lock, [this] { return stopping_ || !pending_.empty(); });
        if (stopping_) return;
        const auto due = start_ + std::chrono::milliseconds(pending_.front().atMs);
        if (changed_.wait_until(lock, due, [this] { return stopping_; })) return;
        sim::OutgoingMessage message = std::move(pending_.front());
        pending_.pop_front();
        const int deviceIndex = deviceIndex_;
        lock.unlock();
        in_->deliver(message.bytes, deviceIndex);
        lock.lock();
    }
}

}  // namespace pxr9::testing
