#pragma once

#include <cstdint>
#include <limits>
#include <optional>
#include <vector>

#include "sim/request_kind.h"

namespace pxr9::sim {

// Which occurrences of a request kind a rule covers, counted from 1 per kind.
struct Occurrences {
    static constexpr std::uint64_t kOpenEnd = std::numeric_limits<std::uint64_t>::max();

    std::uint64_t first = 1;
    std::uint64_t last = kOpenEnd;

    static constexpr Occurrences every() { return {}; }
    static constexpr Occurrences only(std::uint64_t n) { return {n, n}; }
    static constexpr Occurrences from(std::uint64_t k) { return {k, kOpenEnd}; }
    static constexpr Occurrences range(std::uint64_t a, std::uint64_t b) { return {a, b}; }

    constexpr bool contains(std::uint64_t n) const { return n >= first && n <= last; }
    friend constexpr bool operator==(const Occurrences&, const Occurrences&) = default;
};

enum class FaultType : std::uint8_t {
    NoAnswer,    // the request is lost: nothing is done, nothing is answered
    Late,        // value: ms added before the answer leaves
    Refuse,      // value: status (1..0x7F) answered instead of doing the work
    Identity,    // value: identity word reported instead of the device's own
    BadCrc,      // Read Data whose CRC field does not match its data
    WrongByte5,  // value: Read Data byte 5 (instead of 0x04)
    WrongByte6,  // value: Read Data byte 6 (instead of 0x30)
    Silent,      // from this request on, nothing is done or answered ever again
    Twice,       // the request is carried out and its answer leaves twice, back to back
    Stray,       // value: after the answer, an unasked Status with this status (0..0x7F),
                 // or kStrayReadData for an unasked Read Data
};

// The Stray value for an unasked Read Data (of four zero bytes) instead of a Status.
inline constexpr std::uint32_t kStrayReadData = 0x100;

struct Fault {
    FaultType type = FaultType::NoAnswer;
    std::uint32_t value = 0;
    friend bool operator==(const Fault&, const Fault&) = default;
};

struct FaultRule {
    RequestKind kind = RequestKind::IdentityRequest;
    Occurrences when;
    Fault fault;
    friend bool operator==(const FaultRule&, const FaultRule&) = default;
};

// Misbehaviour planned for a simulated device. Rules are looked at in the order added; the
// first that covers a request decides its fault. Kind-specific faults (Identity for the
// Identity Request; BadCrc, WrongByte5, WrongByte6 for the Memory Read) have no effect on
// other kinds.
class FaultScript {
  public:
    FaultScript& add(FaultRule rule);
    FaultScript& noAnswer(RequestKind kind, Occurrences when);
    FaultScript& late(RequestKind kind, Occurrences when, std::uint32_t ms);
    FaultScript& refuse(RequestKind kind, Occurrences when, std::uint8_t status);
    FaultScript& reportIdentity(Occurrences when, std::uint32_t identity);
    FaultScript& badReadCrc(Occurrences when);
    FaultScript& wrongReadByte5(Occurrences when, std::uint8_t value);
    FaultScript& wrongReadByte6(Occurrences when, std::uint8_t value);
    FaultScript& silent(RequestKind kind, Occurrences when);
    FaultScript& twice(RequestKind kind, Occurrences when);
    FaultScript& stray(RequestKind kind, Occurrences when, std::uint32_t what);
    void clear() { rules_.clear(); }

    // The fault for the n-th request of `kind` (n from 1), if any rule covers it.
    std::optional<Fault> faultFor(RequestKind kind, std::uint64_t occurrence) const;

    const std::vector<FaultRule>& rules() const { return rules_; }
    bool empty() const { return rules_.empty(); }
    friend bool operator==(const FaultScript&, const FaultScript&) = default;

  private:
    std::vector<FaultRule> rules_;
};

}  // namespace pxr9::sim
