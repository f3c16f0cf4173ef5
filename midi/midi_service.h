#pragma once

#include <cstdint>
#include <string>

#include "midi/midi_header.h"

namespace pxr9 {

// Notices delivered to an input callback.
inline constexpr std::uint32_t kMimOpen = 0x3C1;
inline constexpr std::uint32_t kMimClose = 0x3C2;
inline constexpr std::uint32_t kMimData = 0x3C3;
inline constexpr std::uint32_t kMimLongData = 0x3C4;
inline constexpr std::uint32_t kMimLongError = 0x3C6;
// The input ended by itself: the device went away. Delivered at most once per open, never
// after close has begun; nothing more arrives on that handle.
inline constexpr std::uint32_t kMimInputEnded = 0x3CF;

// Enumeration shared by both directions: devices are numbered 0..count-1 in a stable order.
class MidiDeviceList {
  public:
    virtual ~MidiDeviceList() = default;
    virtual int deviceCount() = 0;
    // False when the name cannot be read; the device still has its number.
    virtual bool deviceName(int index, std::string& name) = 0;
};

// What the output port needs of a platform: open device n, send one complete SysEx buffer
// (marking the header done once the buffer may be reused), wait for that, cut sends short,
// close. Every step returns true when it was done.
class MidiOutService : public MidiDeviceList {
  public:
    [[nodiscard]] virtual bool open(MidiHandle& handle, std::int32_t deviceIndex) = 0;
    [[nodiscard]] virtual bool close(MidiHandle handle) = 0;
    [[nodiscard]] virtual bool prepareHeader(MidiHandle handle, MidiHeader& header) = 0;
    [[nodiscard]] virtual bool longMessage(MidiHandle handle, MidiHeader& header) = 0;
    // True once the platform has marked an accepted header done; false when
    // that did not happen within timeoutMs, or when a reset cut the send short.
    [[nodiscard]] virtual bool waitDone(MidiHandle handle, MidiHeader& header,
                                        std::uint32_t timeoutMs) = 0;
    [[nodiscard]] virtual bool unprepareHeader(MidiHandle handle, MidiHeader& header) = 0;
    // From any thread: every send in progress on the handle ends soon (its buffer handed
    // back, no longer used by the platform), and every later send on it fails at once until
    // the handle is closed. A device that stops taking bytes can then never hold a close.
    [[nodiscard]] virtual bool reset(MidiHandle handle) = 0;
    // True once the platform has said that the device behind the handle is gone (unplugged):
    // every send on it fails for good. A refusal or a send that ran out of time is not that.
    virtual bool deviceGone(MidiHandle) { return false; }
};

// Input callback: handle, notice, the instance datum given at open, and two parameters
// (for kMimLongData the first is the address of the returned MidiHeader).
using MidiInCallback = void (*)(MidiHandle handle, std::uint32_t notice, void* instance,
                                std::uintptr_t param1, std::uintptr_t param2);

// What the input port needs of a platform: open device n with a callback, lend a buffer
// and be told when a SysEx message was recorded into it, stop, reset (hands the buffer back
// with nothing recorded) and close. After close returns no callback runs. Every step returns
// true when it was done.
class MidiInService : public MidiDeviceList {
  public:
    [[nodiscard]] virtual bool open(MidiHandle& handle, std::int32_t deviceIndex,
                                    MidiInCallback callback, void* instance) = 0;
    [[nodiscard]] virtual bool reset(MidiHandle handle) = 0;
    [[nodiscard]] virtual bool prepareHeader(MidiHandle handle, MidiHeader& header) = 0;
    [[nodiscard]] virtual bool addBuffer(MidiHandle handle, MidiHeader& header) = 0;
    [[nodiscard]] virtual bool start(MidiHandle handle) = 0;
    [[nodiscard]] virtual bool stop(MidiHandle handle) = 0;
    [[nodiscard]] virtual bool unprepareHeader(MidiHandle handle, MidiHeader& header) = 0;
    [[nodiscard]] virtual bool close(MidiHandle handle) = 0;
};

}  // namespace pxr9
