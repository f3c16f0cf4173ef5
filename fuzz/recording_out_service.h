#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "midi/midi_service.h"

namespace pxr9::fuzz {

// An output platform that finishes every send at once and keeps what was sent until cleared,
// so a fuzz run of millions of inputs holds only the answers of the current one.
class RecordingOutService final : public MidiOutService {
  public:
    int deviceCount() override { return 1; }
    bool deviceName(int, std::string& name) override {
        name = "Fuzz MIDI Out";
        return true;
    }
    int open(MidiHandle& handle, std::int32_t) override {
        handle = 1;
        return kMidiOk;
    }
    int close(MidiHandle) override { return kMidiOk; }
    int prepareHeader(MidiHandle, MidiHeader&) override { return kMidiOk; }
    int longMessage(MidiHandle, MidiHeader& header) override {
        sent_.emplace_back(header.data, header.data + header.bufferLength);
        header.flags.fetch_or(kHeaderDone, std::memory_order_release);
        return kMidiOk;
    }
    int unprepareHeader(MidiHandle, MidiHeader&) override { return kMidiOk; }

    const std::vector<std::vector<std::uint8_t>>& sent() const { return sent_; }
    void clear() { sent_.clear(); }

  private:
    std::vector<std::vector<std::uint8_t>> sent_;
};

}  // namespace pxr9::fuzz
