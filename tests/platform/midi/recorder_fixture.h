#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

#include "midi/midi_connection.h"
#include "platform/midi/stream/sysex_recorder.h"

namespace pxr9::testing {

using Bytes = std::vector<std::uint8_t>;

// F0, `size - 2` data bytes counting up (so a misplaced byte shows), F7.
inline Bytes sysex(std::size_t size, std::uint8_t seed = 0) {
    Bytes message(size);
    for (std::size_t i = 0; i < size; ++i)
        message[i] = static_cast<std::uint8_t>((seed + i) & 0x7F);
    message.front() = 0xF0;
    message.back() = 0xF7;
    return message;
}

inline Bytes join(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

// Stands in for the input port: records every message delivered and every end of input.
class ReceivedLog final : public SysexReceiver {
  public:
    void received(const std::uint8_t* bytes, std::size_t size) override {
        {
            std::lock_guard lock(mutex_);
            messages_.emplace_back(bytes, bytes + size);
            deliveries_.push_back(messages_.back());
        }
        arrived_.notify_all();
    }
    void inputEnded() override {
        {
            std::lock_guard lock(mutex_);
            ++endings_;
            deliveries_.emplace_back();
        }
        arrived_.notify_all();
    }

    std::vector<Bytes> messages() {
        std::lock_guard lock(mutex_);
        return messages_;
    }
    // Messages and ends in the order they came; an end is an empty entry.
    std::vector<Bytes> deliveries() {
        std::lock_guard lock(mutex_);
        return deliveries_;
    }
    std::size_t endings() {
        std::lock_guard lock(mutex_);
        return endings_;
    }
    // Waits until `count` deliveries (messages and ends) have come; the deadline only guards
    // against a hang.
    bool waitFor(std::size_t count) {
        std::unique_lock lock(mutex_);
        return arrived_.wait_for(lock, std::chrono::seconds(20),
                                 [&] { return messages_.size() + endings_ >= count; });
    }

  private:
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::vector<Bytes> messages_;
    std::vector<Bytes> deliveries_;
    std::size_t endings_ = 0;
};

}  // namespace pxr9::testing
