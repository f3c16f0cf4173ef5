#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "midi/midi_connection.h"
#include "midi/port_directory.h"
#include "tests/doubles/fake_port_names.h"

namespace pxr9::testing {

using Bytes = std::vector<std::uint8_t>;

// An output backend whose connections keep a copy of every message sent and answer each send
// as the test says: taken at once, refused, gone, or stuck until cancelled (a device that
// stopped taking bytes). Port k's address is "k", so a test sees which port was opened.
class FakeOutputBackend final : public OutputBackend {
  public:
    enum class Send { Taken, Refused, Gone, Stuck };

    explicit FakeOutputBackend(std::vector<std::string> names = {"recording"})
        : names_(std::move(names)) {}

    std::vector<PortEntry> ports() override { return names_.entries(); }
    std::unique_ptr<OutputConnection> open(const PortEntry& port) override {
        const int index = std::stoi(port.address);
        std::lock_guard lock(state_->mutex);
        state_->opened.push_back(index);
        if (!names_.opens(index)) return nullptr;
        ++state_->open;
        ++state_->opens;
        state_->cancelled = false;
        return std::make_unique<Connection>(state_);
    }

    void setNames(std::vector<std::string> names) { names_.set(std::move(names)); }
    void failOpen(int index, bool fail = true) { names_.failOpen(index, fail); }
    void setSend(Send send) {
        std::lock_guard lock(state_->mutex);
        state_->send = send;
    }
    // `hook` runs once, inside the next send, while that send's buffer is still in use.
    void duringNextSend(std::function<void()> hook) {
        std::lock_guard lock(state_->mutex);
        state_->duringNextSend = std::move(hook);
    }

    std::vector<Bytes> sent() const {
        std::lock_guard lock(state_->mutex);
        return state_->sent;
    }
    void clearSent() {
        std::lock_guard lock(state_->mutex);
        state_->sent.clear();
    }
    // The ports opened so far, by number, failed opens included.
    std::vector<int> opened() const {
        std::lock_guard lock(state_->mutex);
        return state_->opened;
    }
    // Opens that succeeded, and of them the ones closed since.
    int openCount() const {
        std::lock_guard lock(state_->mutex);
        return state_->opens;
    }
    int closeCount() const {
        std::lock_guard lock(state_->mutex);
        return state_->opens - state_->open;
    }
    // Connections open now.
    int openConnections() const {
        std::lock_guard lock(state_->mutex);
        return state_->open;
    }
    int cancels() const {
        std::lock_guard lock(state_->mutex);
        return state_->cancels;
    }
    // Blocks until `count` sends have reached the connection.
    void waitForSends(int count) const {
        std::unique_lock lock(state_->mutex);
        state_->changed.wait(lock, [&] { return state_->attempts >= count; });
    }
    bool hasStuckSend() const {
        std::lock_guard lock(state_->mutex);
        return state_->stuck > 0;
    }

  private:
    // Shared with the connections, which may outlive a test's view of the backend.
    struct State {
        mutable std::mutex mutex;
        mutable std::condition_variable changed;
        Send send = Send::Taken;
        std::function<void()> duringNextSend;
        std::vector<Bytes> sent;
        std::vector<int> opened;
        int open = 0;
        int opens = 0;
        int attempts = 0;
        int stuck = 0;
        int cancels = 0;
        bool cancelled = false;
    };

    class Connection final : public OutputConnection {
      public:
        explicit Connection(std::shared_ptr<State> state) : state_(std::move(state)) {}
        ~Connection() override {
            std::lock_guard lock(state_->mutex);
            --state_->open;
        }
        bool send(const std::uint8_t* data, std::size_t size) override {
            std::function<void()> hook;
            {
                std::unique_lock lock(state_->mutex);
                ++state_->attempts;
                state_->changed.notify_all();
                if (state_->cancelled) return false;
                hook.swap(state_->duringNextSend);
            }
            if (hook) hook();
            std::unique_lock lock(state_->mutex);
            switch (state_->send) {
                case Send::Taken:
                    state_->sent.emplace_back(data, data + size);
                    return true;
                case Send::Refused:
                case Send::Gone:
                    return false;
                case Send::Stuck:
                    ++state_->stuck;
                    state_->changed.notify_all();
                    state_->changed.wait(lock, [&] { return state_->cancelled; });
                    --state_->stuck;
                    return false;
            }
            return false;
        }
        void cancel() override {
            std::lock_guard lock(state_->mutex);
            state_->cancelled = true;
            ++state_->cancels;
            state_->changed.notify_all();
        }
        bool deviceGone() const override {
            std::lock_guard lock(state_->mutex);
            return state_->send == Send::Gone;
        }

      private:
        std::shared_ptr<State> state_;
    };

    FakePortNames names_;
    std::shared_ptr<State> state_ = std::make_shared<State>();
};

}  // namespace pxr9::testing
