#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "sim/flash_layout.h"

namespace pxr9::tools {

// Version stamps as readable text: printable ASCII stands for itself, a backslash is
// written "\\" and any other byte "\xHH". The same form is read back from the command line,
// so a stamp seen in a report can be given to the simulated device as it is.
std::string escapeStamp(const sim::VersionStamp& stamp);

// Exactly four bytes in the escaped form above, or none.
std::optional<sim::VersionStamp> parseStamp(std::string_view text);

// A JSON string literal (quotes included) of plain ASCII text.
std::string jsonString(std::string_view text);

}  // namespace pxr9::tools
