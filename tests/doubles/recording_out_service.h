#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "midi/midi_service.h"

namespace pxr9::test {

using Bytes = std::vector<std::uint8_t>;

// An output platform that keeps a copy of every message handed to it and finishes each send
// at once, so a blocking send never waits.
class RecordingOutService final : public MidiOutService {
  public:
    int deviceCount() override { return 1; }
    bool deviceName(int, std::string& name) override {
        name = "recording";
        return true;
    }
    bool open(MidiHandle& handle, std::int32_t) override {
        handle = 1;
        return true;
    }
    bool close(MidiHandle) override { return true; }
    bool prepareHeader(MidiHandle, MidiHeader&) override { return true; }
    bool waitDone(MidiHandle, MidiHeader&, std::uint32_t) override { return true; }
    bool reset(MidiHandle) override { return true; }
    bool unprepareHeader(MidiHandle, MidiHeader&) override { return true; }

    bool longMessage(MidiHandle, MidiHeader& header) override {
        std::function<void()> hook;
        {
            std::lock_guard lock(mutex_);
            if (refuse_) return false;
            hook.swap(duringNextSend_);
        }
        // Runs while this message is on the port, before its bytes are taken.
        if (hook) hook();
        {
            std::lock_guard lock(mutex_);
            sent_.emplace_back(header.data, header.data + header.bufferLength);
        }
        header.flags.fetch_or(kHeaderDone, std::memory_order_release);
        return true;
    }

    void refuseSends(bool refuse) {
        std::lock_guard lock(mutex_);
        refuse_ = refuse;
    }
    // `hook` runs once, inside the next send, while that send's buffer is still in use.
    void duringNextSend(std::function<void()> hook) {
        std::lock_guard lock(mutex_);
        duringNextSend_ = std::move(hook);
    }
    std::vector<Bytes> sent() const {
        std::lock_guard lock(mutex_);
        return sent_;
    }
    void clearSent() {
        std::lock_guard lock(mutex_);
        sent_.clear();
    }

  private:
    mutable std::mutex mutex_;
    bool refuse_ = false;
    std::function<void()> duringNextSend_;
    std::vector<Bytes> sent_;
};

}  // namespace pxr9::test
