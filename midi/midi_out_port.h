#pragma once

#include <cstdint>
#include <shared_mutex>

#include "midi/midi_service.h"

namespace pxr9 {

// The only way anything reaches the device: whole SysEx messages, each send blocking until
// the platform has finished with the caller's buffer.
class MidiOutPort {
public:
    explicit MidiOutPort(MidiOutService& service) : service_(service) {}
    ~MidiOutPort() { close(); }
    MidiOutPort(const MidiOutPort&) = delete;
    MidiOutPort& operator=(const MidiOutPort&) = delete;

    // Returns the platform's result unchanged: 0 = open.
    int open(std::int32_t deviceIndex);
    void close();
    // 1 = sent, 0 = not sent.
    int sendLongMessage(MidiHeader& header);
    bool isOpen() const;

private:
    MidiOutService& service_;
    // Sends hold it shared (two threads may send at once); close holds it exclusively, so a
    // close never takes effect under a send that is still running.
    mutable std::shared_mutex gate_;
    MidiHandle handle_ = 0;
};

// 0 = sent, -1 = failure (closed port, refused, bad length).
int sendSysEx(MidiOutPort& port, const std::uint8_t* buffer, std::int32_t length);

}  // namespace pxr9
