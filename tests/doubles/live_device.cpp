#include "tests/doubles/live_device.h"

namespace pxr9::testing {

LiveDevice::LiveDevice(sim::SimConfig config)
    : device_(std::move(config)),
      out_(ports_,
           [this](int port, const std::uint8_t* bytes, std::size_t size) {
               hostSent(port, bytes, size);
               return true;
           }),
      in_(ports_),
      delivery_([this] { deliveryLoop(); }) {}

LiveDevice::~LiveDevice() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    delivery_.join();
}

void LiveDevice::withDevice(const std::function<void(sim::SimDevice&)>& fn) {
    std::lock_guard lock(mutex_);
    fn(device_);
}

void LiveDevice::onHostSend(std::function<void(const std::uint8_t*, std::size_t)> observer) {
    std::lock_guard lock(mutex_);
    observer_ = std::move(observer);
}

void LiveDevice::setPorts(std::vector<std::string> names, int deviceIndex) {
    ports_.set(std::move(names), deviceIndex);
}

std::uint64_t LiveDevice::elapsedMs() const {
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                          std::chrono::steady_clock::now() - start_)
                                          .count());
}

void LiveDevice::hostSent(int port, const std::uint8_t* bytes, std::size_t size) {
    {
        std::lock_guard lock(mutex_);
        if (observer_) observer_(bytes, size);
        if (port != ports_.deviceIndex()) return;
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
        lock.unlock();
        in_.deliver(message.bytes);
        lock.lock();
    }
}

}  // namespace pxr9::testing
