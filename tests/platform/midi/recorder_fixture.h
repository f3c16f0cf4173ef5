#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

#include "midi/midi_service.h"
#include "platform/midi/stream/sysex_recorder.h"

namespace pxr9::test {

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

// Stands in for the input port: owns one lendable buffer and records every return of it.
// Like the port, it lends the buffer again when something was recorded (if `relend` is set).
class ReturnLog {
  public:
    explicit ReturnLog(std::uint32_t size = 8192) : data_(size), header_{} {
        header_.data = data_.data();
        header_.bufferLength = size;
    }

    static void onInput(MidiHandle handle, std::uint32_t notice, void* instance,
                        std::uintptr_t param1, std::uintptr_t) {
        auto& self = *static_cast<ReturnLog*>(instance);
        if (notice == kMimInputEnded) {
            {
                std::lock_guard lock(self.mutex_);
                self.returns_.push_back({handle, notice, false, nullptr, {}});
            }
            self.arrived_.notify_all();
            return;
        }
        auto& header = *reinterpret_cast<MidiHeader*>(param1);
        Return got;
        got.handle = handle;
        got.notice = notice;
        got.done = (header.flags.load() & kHeaderDone) != 0;
        got.header = &header;
        got.bytes.assign(header.data, header.data + header.bytesRecorded);
        bool relend = false;
        {
            std::lock_guard lock(self.mutex_);
            self.returns_.push_back(std::move(got));
            relend = self.relend && header.bytesRecorded > 0;
        }
        self.arrived_.notify_all();
        if (!relend) return;
        if (self.service != nullptr) {
            self.service->prepareHeader(handle, header);
            self.service->addBuffer(handle, header);
        } else if (self.recorder != nullptr) {
            EXPECT_TRUE(self.recorder->lend(header));
        }
    }

    struct Return {
        MidiHandle handle = 0;
        std::uint32_t notice = 0;
        bool done = false;
        MidiHeader* header = nullptr;
        Bytes bytes;
    };

    std::vector<Return> returns() {
        std::lock_guard lock(mutex_);
        return returns_;
    }
    // The bytes of every buffer handed back, without the notices of an ended input.
    std::vector<Bytes> messages() {
        std::vector<Bytes> all;
        for (const Return& r : returns()) {
            if (r.notice != kMimInputEnded) all.push_back(r.bytes);
        }
        return all;
    }
    std::size_t endings() {
        std::size_t count = 0;
        for (const Return& r : returns()) count += r.notice == kMimInputEnded ? 1 : 0;
        return count;
    }

    // Waits until `count` returns have come; the deadline only guards against a hang.
    bool waitFor(std::size_t count) {
        std::unique_lock lock(mutex_);
        return arrived_.wait_for(lock, std::chrono::seconds(20),
                                 [&] { return returns_.size() >= count; });
    }

    MidiHeader& header() { return header_; }

    // Where the buffer is lent again: a service (as the port does it) or a bare recorder.
    MidiInService* service = nullptr;
    SysexRecorder* recorder = nullptr;
    bool relend = true;

  private:
    std::vector<std::uint8_t> data_;
    MidiHeader header_;
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::vector<Return> returns_;
};

}  // namespace pxr9::test
