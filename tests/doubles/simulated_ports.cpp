#include "tests/doubles/simulated_ports.h"

#include <algorithm>

namespace pxr9::testing {

void PortTable::set(std::vector<std::string> names, int deviceIndex) {
    std::lock_guard lock(mutex_);
    names_ = std::move(names);
    deviceIndex_ = deviceIndex;
}

void PortTable::failOpens(bool output, bool input) {
    std::lock_guard lock(mutex_);
    failOutput_ = output;
    failInput_ = input;
}

std::vector<PortEntry> PortTable::entries() const {
    std::lock_guard lock(mutex_);
    std::vector<PortEntry> entries;
    for (std::size_t k = 0; k < names_.size(); ++k)
        entries.push_back({names_[k], std::to_string(k)});
    return entries;
}

int PortTable::open(const std::string& address, bool output) const {
    const int index = std::stoi(address);
    std::lock_guard lock(mutex_);
    if ((output ? failOutput_ : failInput_) || index < 0 ||
        index >= static_cast<int>(names_.size()) || (unplugged_ && index == deviceIndex_)) {
        return -1;
    }
    return index;
}

int PortTable::deviceIndex() const {
    std::lock_guard lock(mutex_);
    return deviceIndex_;
}

void PortTable::unplug(bool out) {
    std::lock_guard lock(mutex_);
    unplugged_ = out;
}

bool PortTable::unplugged() const {
    std::lock_guard lock(mutex_);
    return unplugged_;
}

class ForwardingOutput::Connection final : public OutputConnection {
  public:
    Connection(ForwardingOutput& backend, int port) : backend_(backend), port_(port) {}
    bool send(const std::uint8_t* data, std::size_t size) override {
        if (deviceGone()) return false;
        return backend_.onSend_(port_, data, size);
    }
    // Sends finish inside send(): nothing is ever still in progress.
    void cancel() override {}
    bool deviceGone() const override {
        return port_ == backend_.ports_.deviceIndex() && backend_.ports_.unplugged();
    }

  private:
    ForwardingOutput& backend_;
    const int port_;
};

std::unique_ptr<OutputConnection> ForwardingOutput::open(const PortEntry& port) {
    const int opened = ports_.open(port.address, true);
    if (opened < 0) return nullptr;
    return std::make_unique<Connection>(*this, opened);
}

class DeviceInput::Connection final : public InputConnection {
  public:
    Connection(DeviceInput& backend, SysexReceiver* receiver)
        : backend_(backend), receiver_(receiver) {}
    ~Connection() override { stop(); }
    bool start() override {
        std::lock_guard lock(backend_.mutex_);
        if (receiver_ != nullptr) backend_.receiver_ = receiver_;
        return true;
    }
    // Waits out a delivery in progress.
    void stop() override {
        std::lock_guard lock(backend_.mutex_);
        if (receiver_ != nullptr && backend_.receiver_ == receiver_) backend_.receiver_ = nullptr;
    }

  private:
    DeviceInput& backend_;
    // Null on a port that is not the device's: nothing ever arrives there.
    SysexReceiver* const receiver_;
};

std::unique_ptr<InputConnection> DeviceInput::open(const PortEntry& port, SysexReceiver& receiver) {
    const int opened = ports_.open(port.address, false);
    if (opened < 0) return nullptr;
    const bool device = opened == ports_.deviceIndex();
    return std::make_unique<Connection>(*this, device ? &receiver : nullptr);
}

void DeviceInput::end() {
    std::lock_guard lock(mutex_);
    if (receiver_ != nullptr) receiver_->inputEnded();
}

void DeviceInput::deliver(const std::vector<std::uint8_t>& bytes) {
    std::lock_guard lock(mutex_);
    if (receiver_ == nullptr || ports_.unplugged()) return;
    for (std::size_t offset = 0; offset < bytes.size();) {
        const std::size_t n = std::min(SysexReceiver::kMaxPiece, bytes.size() - offset);
        receiver_->received(bytes.data() + offset, n);
        offset += n;
    }
}

}  // namespace pxr9::testing
