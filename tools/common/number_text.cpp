#include "tools/common/number_text.h"

#include <charconv>

namespace pxr9::tools {

std::optional<std::uint64_t> parseNumber(std::string_view text, std::uint64_t max) {
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    // from_chars would accept a leading minus sign for nothing here, but not a plus; keep
    // both out explicitly so "-0" is no number either.
    if (text.empty() || text[0] == '-' || text[0] == '+') return std::nullopt;
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (error != std::errc{} || end != text.data() + text.size() || value > max) {
        return std::nullopt;
    }
    return value;
}

}  // namespace pxr9::tools
