#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "midi/midi_service.h"

namespace pxr9::testing {

// The port names both directions list, which of them is the simulated device, and whether
// opening is refused (a device that cannot be opened).
class PortTable {
  public:
    void set(std::vector<std::string> names, int deviceIndex);
    void failOpens(bool output, bool input);

    int count() const;
    bool name(int index, std::string& out) const;
    // The handle of device `index`, or 0 when it cannot be opened.
    MidiHandle open(int index, bool output) const;
    MidiHandle deviceHandle() const;
    // The device's cable comes out (true) or goes back in (false).
    void unplug(bool out);
    bool unplugged() const;

  private:
    mutable std::mutex mutex_;
    bool unplugged_ = false;
    std::vector<std::string> names_{"KEVO PXR-9"};
    int deviceIndex_ = 0;
    bool failOutput_ = false;
    bool failInput_ = false;
};

// An output service that hands every sent message to `onSend` and marks it done at once,
// unless `onSend` says the send failed. Sends to an unplugged device fail as gone.
class ForwardingOutput final : public MidiOutService {
  public:
    // False: the send failed (whatever became of its bytes).
    using SendHandler = std::function<bool(MidiHandle, const std::uint8_t*, std::size_t)>;
    ForwardingOutput(PortTable& ports, SendHandler onSend)
        : ports_(ports), onSend_(std::move(onSend)) {}

    int deviceCount() override { return ports_.count(); }
    bool deviceName(int index, std::string& name) override { return ports_.name(index, name); }
    bool open(MidiHandle& handle, std::int32_t deviceIndex) override;
    bool close(MidiHandle) override { return true; }
    bool prepareHeader(MidiHandle, MidiHeader&) override { return true; }
    bool unprepareHeader(MidiHandle, MidiHeader&) override { return true; }
    bool longMessage(MidiHandle handle, MidiHeader& header) override;
    // Sends finish inside longMessage: nothing is ever still in progress.
    bool waitDone(MidiHandle, MidiHeader&, std::uint32_t) override { return true; }
    bool reset(MidiHandle) override { return true; }
    bool deviceGone(MidiHandle handle) override;

  private:
    PortTable& ports_;
    SendHandler onSend_;
};

// An input service that records each delivered message into the buffers the port lent, like
// the platform: one return per buffer-full, handed back through the callback. A reset hands
// lent buffers back with nothing recorded; after close no callback runs.
class LentBufferInput final : public MidiInService {
  public:
    explicit LentBufferInput(PortTable& ports) : ports_(ports) {}

    int deviceCount() override { return ports_.count(); }
    bool deviceName(int index, std::string& name) override { return ports_.name(index, name); }
    bool open(MidiHandle& handle, std::int32_t deviceIndex, MidiInCallback callback,
              void* instance) override;
    bool reset(MidiHandle) override;
    bool prepareHeader(MidiHandle, MidiHeader&) override { return true; }
    bool unprepareHeader(MidiHandle, MidiHeader&) override { return true; }
    bool addBuffer(MidiHandle, MidiHeader& header) override;
    bool start(MidiHandle) override;
    bool stop(MidiHandle) override;
    bool close(MidiHandle) override;

    // A message leaving the simulated device; dropped unless the device's port is open,
    // started and has a buffer lent.
    void deliver(const std::vector<std::uint8_t>& bytes);
    // The device's input ends, as when its cable comes out: the port is told once.
    void end();

  private:
    void handBack(MidiHeader& header);

    PortTable& ports_;
    // Recursive: the callback lends the buffer again from inside a delivery.
    std::recursive_mutex mutex_;
    MidiHandle handle_ = 0;
    MidiInCallback callback_ = nullptr;
    void* instance_ = nullptr;
    bool started_ = false;
    std::deque<MidiHeader*> lent_;
};

}  // namespace pxr9::testing
