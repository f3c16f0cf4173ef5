#include "platform/midi/jack/jack_names.h"

namespace pxr9 {

std::string jackPortName(std::string_view fullName) {
    // Client names cannot hold a colon; port names can, so split at the first one.
    const std::size_t colon = fullName.find(':');
    return std::string(colon == std::string_view::npos ? fullName : fullName.substr(colon + 1));
}

bool isOwnJackPort(std::string_view fullName) {
    const std::size_t colon = fullName.find(':');
    if (colon == std::string_view::npos) return false;
    return fullName.substr(0, colon).starts_with(kOwnJackClientName);
}

}  // namespace pxr9
