#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "midi/midi_connection.h"
#include "tests/doubles/fake_port_names.h"

namespace pxr9::testing {

// An input backend whose one open connection delivers what the test hands it, on the test's
// thread, once started and until stopped. Port k's address is "k".
class FakeInputBackend final : public InputBackend {
  public:
    explicit FakeInputBackend(std::vector<std::string> names = {"recording"})
        : names_(std::move(names)) {}

    std::vector<PortEntry> ports() override { return names_.entries(); }
    std::unique_ptr<InputConnection> open(const PortEntry& port, SysexReceiver& receiver) override {
        const int index = std::stoi(port.address);
        std::lock_guard lock(state_->mutex);
        state_->opened.push_back(index);
        if (!names_.opens(index)) return nullptr;
        ++state_->opens;
        ++state_->open;
        return std::make_unique<Connection>(state_, receiver);
    }

    void setNames(std::vector<std::string> names) { names_.set(std::move(names)); }
    void failOpen(int index, bool fail = true) { names_.failOpen(index, fail); }
    void failStart(bool fail) {
        std::lock_guard lock(state_->mutex);
        state_->failStart = fail;
    }

    // One message from the device; false (dropped) unless a connection is open and started.
    bool deliver(const std::vector<std::uint8_t>& bytes) {
        std::lock_guard lock(state_->mutex);
        if (state_->receiver == nullptr) return false;
        state_->receiver->received(bytes.data(), bytes.size());
        return true;
    }
    // The input ends by itself, as when the cable comes out.
    bool end() {
        std::lock_guard lock(state_->mutex);
        if (state_->receiver == nullptr) return false;
        state_->receiver->inputEnded();
        return true;
    }
    std::vector<int> opened() const {
        std::lock_guard lock(state_->mutex);
        return state_->opened;
    }
    int openCount() const {
        std::lock_guard lock(state_->mutex);
        return state_->opens;
    }
    int closeCount() const {
        std::lock_guard lock(state_->mutex);
        return state_->opens - state_->open;
    }
    bool delivering() const {
        std::lock_guard lock(state_->mutex);
        return state_->receiver != nullptr;
    }

  private:
    // Deliveries happen under the lock, so a stop that takes it waits for a running one.
    struct State {
        mutable std::recursive_mutex mutex;
        SysexReceiver* receiver = nullptr;
        bool failStart = false;
        int opens = 0;
        int open = 0;
        std::vector<int> opened;
    };

    class Connection final : public InputConnection {
      public:
        Connection(std::shared_ptr<State> state, SysexReceiver& receiver)
            : state_(std::move(state)), receiver_(receiver) {}
        ~Connection() override {
            stop();
            std::lock_guard lock(state_->mutex);
            --state_->open;
        }
        bool start() override {
            std::lock_guard lock(state_->mutex);
            if (state_->failStart) return false;
            state_->receiver = &receiver_;
            return true;
        }
        void stop() override {
            std::lock_guard lock(state_->mutex);
            if (state_->receiver == &receiver_) state_->receiver = nullptr;
        }

      private:
        std::shared_ptr<State> state_;
        SysexReceiver& receiver_;
    };

    FakePortNames names_;
    std::shared_ptr<State> state_ = std::make_shared<State>();
};

}  // namespace pxr9::testing
