#pragma once

#include <cstdint>
#include <shared_mutex>

#include "midi/midi_service.h"

namespace pxr9 {

// The longest a send may take before it fails like any failed send. Generous: 4,700 bytes
// at the slowest MIDI rate (3,125 bytes/s) take 1.5 s.
inline constexpr std::uint32_t kSendBoundMs = 10000;

// The only way anything reaches the device: whole SysEx messages, each send blocking until
// the platform has finished with the caller's buffer.
class MidiOutPort {
  public:
    explicit MidiOutPort(MidiOutService& service) : service_(service) {}
    ~MidiOutPort() { close(); }
    MidiOutPort(const MidiOutPort&) = delete;
    MidiOutPort& operator=(const MidiOutPort&) = delete;

    // True when open.
    [[nodiscard]] bool open(std::int32_t deviceIndex);
    // Cuts every send in progress short, then closes; never waits on a stuck device.
    void close();
    // True when sent; false also when it could not finish within kSendBoundMs.
    [[nodiscard]] bool sendLongMessage(MidiHeader& header);
    bool isOpen() const;
    // True when the device behind the open port is gone: no send will ever reach it.
    bool deviceGone() const;
    // From any thread: a send in progress fails soon, and every later one at once, until the
    // port is opened again. For a device that is gone: a send must not wait out its bound.
    void cancelSends();

  private:
    MidiOutService& service_;
    // Sends hold it shared (two threads may send at once); close holds it exclusively, so a
    // close never takes effect under a send that is still running. Close resets the platform
    // first, which ends those sends soon, so it never waits long for the gate.
    mutable std::shared_mutex gate_;
    MidiHandle handle_ = 0;
};

// True when sent; false for a closed port, a refusal or a bad length.
[[nodiscard]] bool sendSysEx(MidiOutPort& port, const std::uint8_t* buffer, std::int32_t length);

}  // namespace pxr9
