#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "sim/fault_script.h"
#include "sim/request_decoder.h"
#include "sim/request_kind.h"
#include "sim/sim_config.h"

namespace pxr9::sim {

struct OutgoingMessage {
    std::uint64_t atMs = 0;  // virtual time at which the message leaves the device
    std::vector<std::uint8_t> bytes;
    friend bool operator==(const OutgoingMessage&, const OutgoingMessage&) = default;
};

// A stand-in PXR-9: serves the updater's requests on a 16 MiB flash, takes virtual time to
// do so and misbehaves as its fault script says. Time is whatever the caller passes in.
// Not thread-safe: callers hand it one message at a time.
class SimDevice {
  public:
    // Throws std::invalid_argument when an identity byte is 0x80 or more or the refusal
    // status is not 1..0x7F: the device could not send them.
    explicit SimDevice(SimConfig config = {});

    // One complete SysEx message arrives at virtual time nowMs. Returns the answers it
    // causes, each with the time at which it leaves (>= nowMs), in order. The device does
    // one thing at a time: work on a request starts once the previous answer has left.
    std::vector<OutgoingMessage> receive(const std::uint8_t* bytes, std::size_t size,
                                         std::uint64_t nowMs);
    std::vector<OutgoingMessage> receive(std::span<const std::uint8_t> message,
                                         std::uint64_t nowMs);

    std::span<const std::uint8_t> flash() const { return flash_; }
    FaultScript& faults() { return faults_; }
    const FaultScript& faults() const { return faults_; }
    const RequestCounts& counts() const { return counts_; }
    const SimConfig& config() const { return config_; }
    // True once a Silent fault has struck: nothing is answered any more.
    bool silent() const { return silent_; }
    std::uint8_t modelId() const { return static_cast<std::uint8_t>(config_.identity & 0xFF); }

  private:
    struct Outcome {
        std::vector<std::uint8_t> answer;
        std::uint64_t workUs = 0;
    };

    Outcome serve(const Request& request, const Fault* fault);
    Outcome refuse() const;
    Outcome erase(const Request& request);
    Outcome write(const Request& request);
    Outcome read(const Request& request, const Fault* fault) const;

    SimConfig config_;
    std::vector<std::uint8_t> flash_;
    std::vector<std::uint8_t> scratch_;  // one unpacked Write Block
    FaultScript faults_;
    RequestCounts counts_;
    std::uint64_t busyUntilUs_ = 0;
    bool silent_ = false;
};

}  // namespace pxr9::sim
