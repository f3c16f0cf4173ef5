#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine/updater_state.h"
#include "midi/dispatch_thread.h"
#include "protocol/reply_event.h"
#include "sim/sim_device.h"
#include "tests/doubles/simulated_ports.h"

namespace pxr9::testing {

// A message the host sent, and the virtual time at which it left.
struct SentMessage {
    std::uint64_t atMs;
    std::vector<std::uint8_t> bytes;
};

// The simulated world an UpdaterState runs in during tests: a simulated PXR-9 behind
// in-memory MIDI connections, and a virtual clock. A wait that is not yet signalled runs the
// world forward (the device's answers at their virtual times, each handled by the state's
// dispatch thread before the world goes on) and, when nothing comes before its deadline,
// returns a timeout with virtual time at the deadline. A 120 s timeout costs microseconds.
class VirtualWorld final : private DispatchWatcher {
  public:
    explicit VirtualWorld(sim::SimConfig config = {});
    ~VirtualWorld();
    VirtualWorld(const VirtualWorld&) = delete;
    VirtualWorld& operator=(const VirtualWorld&) = delete;

    UpdaterPlatform platform();
    sim::SimDevice& device() { return *device_; }

    std::uint64_t nowMs() const;
    std::vector<SentMessage> sent() const;
    void clearSent();

    // Port names seen by both directions; the device answers on `deviceIndex` only.
    void setPorts(std::vector<std::string> names, int deviceIndex);
    void failOpens(bool output, bool input);
    // When a wait would time out, block until it is really signalled instead (a user closing
    // the dialog during a wait); a generous real-time guard keeps a broken test from hanging.
    void holdTimeouts(bool hold);
    // A message from the device that nobody asked for, leaving it at `atMs`.
    void scheduleFromDevice(std::uint64_t atMs, std::vector<std::uint8_t> bytes);
    // Runs `action` 1 ms after the host first sends a message that `match` accepts (once):
    // how a test closes the dialog while a worker waits for a particular reply.
    void whenHostSends(std::function<bool(const std::vector<std::uint8_t>&)> match,
                       std::function<void()> action);
    // A send that `match` accepts reaches the device, but the host is told it failed, as for
    // a send taken back after it ran out of time while its bytes were already on the way.
    void takeBackSends(std::function<bool(const std::vector<std::uint8_t>&)> match);
    // The device's cable comes out: its input ends, sends to it fail as gone, nothing more
    // arrives from it, and its ports no longer open until replug().
    void unplug();
    void replug();

    class Event;
    class VirtualClock;

  private:
    friend class Event;
    friend class VirtualClock;

    bool waitFor(Event& event, std::uint32_t timeoutMs);
    void sleepFor(std::uint32_t ms);
    // Delivers the next scheduled message due at or before `deadline`; false when none.
    bool deliverNext(std::uint64_t deadline);
    // Delivers the messages due at exactly `atMs`, if the next ones are; false when none.
    bool deliverAlongWith(std::uint64_t atMs);
    // Returns once the state's dispatcher has handled everything delivered so far.
    void awaitDispatch();
    void watch(DispatchThread* dispatcher) override;
    bool hostSent(int port, const std::uint8_t* bytes, std::size_t size);

    mutable std::recursive_mutex mutex_;
    std::mutex dispatcherMutex_;
    DispatchThread* dispatcher_ = nullptr;
    std::unique_ptr<sim::SimDevice> device_;
    std::uint64_t now_ = 0;
    // What happens next, by virtual time: a message leaving the device, or a test's action.
    struct Scheduled {
        std::vector<std::uint8_t> bytes;
        std::function<void()> action;
    };
    struct Trigger {
        std::function<bool(const std::vector<std::uint8_t>&)> match;
        std::function<void()> action;
    };
    std::multimap<std::uint64_t, Scheduled> schedule_;
    std::vector<Trigger> triggers_;
    std::function<bool(const std::vector<std::uint8_t>&)> takeBack_;
    std::vector<SentMessage> sent_;
    bool holdTimeouts_ = false;

    PortTable ports_;
    ForwardingOutput out_;
    DeviceInput in_;
    OutputPorts outputs_{{&out_}};
    InputPorts inputs_{{&in_}};
    std::unique_ptr<Event> event_;
    std::unique_ptr<VirtualClock> clock_;
};

}  // namespace pxr9::testing
