#pragma once

#include <atomic>
#include <cstdint>

namespace pxr9 {

// Handle of an open platform MIDI port; 0 means none.
using MidiHandle = std::uintptr_t;

// Set by the platform when it has finished with a buffer.
inline constexpr std::uint32_t kHeaderDone = 1;

// The long-message header shared by output sends and the input receive buffer.
// `flags` is written by the platform's thread and read by the port's, hence atomic.
struct MidiHeader {
    std::uint8_t* data = nullptr;
    std::uint32_t bufferLength = 0;
    std::uint32_t bytesRecorded = 0;
    std::atomic<std::uint32_t> flags{0};
};

}  // namespace pxr9
