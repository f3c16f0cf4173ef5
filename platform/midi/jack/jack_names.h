#pragma once

#include <string>
#include <string_view>

namespace pxr9 {

// Prefix of the JACK client names this program uses for its own ports.
inline constexpr std::string_view kOwnJackClientName = "PXR-9 Updater";

// The name a user sees for a JACK port: the port's short name, without the "client:" part
// of its full name.
std::string jackPortName(std::string_view fullName);

// True for the ports of this program's own clients (of any running copy): they are never
// the device, and listing them would shift the numbers of the others while a port is open.
bool isOwnJackPort(std::string_view fullName);

}  // namespace pxr9
