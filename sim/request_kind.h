#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace pxr9::sim {

// The requests the device serves; every other message it receives is ignored.
enum class RequestKind : std::uint8_t {
    IdentityRequest,
    UpdateStart,
    FlashErase,
    WriteBlock,
    MemoryRead,
    UpdateEnd,
};
inline constexpr std::size_t kRequestKindCount = 6;

inline constexpr std::array<RequestKind, kRequestKindCount> kAllRequestKinds = {
    RequestKind::IdentityRequest, RequestKind::UpdateStart, RequestKind::FlashErase,
    RequestKind::WriteBlock,      RequestKind::MemoryRead,  RequestKind::UpdateEnd,
};

// Short names used in fault-script texts and reports: "identity", "update-start", ...
std::string_view requestKindName(RequestKind kind);
std::optional<RequestKind> requestKindFromName(std::string_view name);

// How many messages of each kind arrived, served or not, plus those that were no request.
struct RequestCounts {
    std::array<std::uint64_t, kRequestKindCount> byKind{};
    std::uint64_t ignored = 0;

    std::uint64_t operator[](RequestKind kind) const {
        return byKind[static_cast<std::size_t>(kind)];
    }
    std::uint64_t requests() const {
        std::uint64_t sum = 0;
        for (std::uint64_t n : byKind) sum += n;
        return sum;
    }
};

}  // namespace pxr9::sim
