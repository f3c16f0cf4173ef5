#pragma once

#include <string>
#include <string_view>

namespace pxr9::tools {

// A JSON string literal, quotes included. Port names and stamps come from devices: valid
// UTF-8 is kept, control characters are escaped, and any byte that is not part of valid
// UTF-8 becomes the character of the same number (as if it were Latin-1), so the result is
// always valid JSON.
std::string jsonQuoted(std::string_view text);

}  // namespace pxr9::tools
