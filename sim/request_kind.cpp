#include "sim/request_kind.h"

namespace pxr9::sim {

namespace {
constexpr std::array<std::string_view, kRequestKindCount> kNames = {
    "identity", "update-start", "flash-erase", "write-block", "memory-read", "update-end",
};
}  // namespace

std::string_view requestKindName(RequestKind kind) {
    return kNames[static_cast<std::size_t>(kind)];
}

std::optional<RequestKind> requestKindFromName(std::string_view name) {
    for (RequestKind kind : kAllRequestKinds) {
        if (requestKindName(kind) == name) return kind;
    }
    return std::nullopt;
}

}  // namespace pxr9::sim
