#include "tools/cli/json_text.h"

#include <cstdint>
#include <cstdio>

namespace pxr9::tools {

namespace {

// Length of the valid UTF-8 sequence that starts at text[i], or 0.
std::size_t utf8Length(std::string_view text, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<std::uint8_t>(text[k]); };
    const std::uint8_t lead = byte(i);
    std::size_t length = 0;
    std::uint32_t lowest = 0;
    std::uint32_t code = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, lowest = 0x80, code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, lowest = 0x800, code = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, lowest = 0x10000, code = lead & 0x07;
    } else {
        return 0;
    }
    if (text.size() - i < length) return 0;
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) return 0;
        code = (code << 6) | (byte(i + k) & 0x3F);
    }
    const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
    if (code < lowest || code > 0x10FFFF || surrogate) return 0;
    return length;
}

std::string unicodeEscape(std::uint8_t value) {
    char escaped[8];
    std::snprintf(escaped, sizeof escaped, "\\u%04x", value);
    return escaped;
}

}  // namespace

std::string jsonQuoted(std::string_view text) {
    std::string json = "\"";
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<std::uint8_t>(text[i]);
        if (c == '"' || c == '\\') {
            json += '\\';
            json += static_cast<char>(c);
        } else if (c == '\n') {
            json += "\\n";
        } else if (c == '\t') {
            json += "\\t";
        } else if (c < 0x20 || c == 0x7F) {
            json += unicodeEscape(c);
        } else if (c < 0x80) {
            json += static_cast<char>(c);
        } else if (const std::size_t length = utf8Length(text, i); length > 0) {
            json.append(text.substr(i, length));
            i += length;
            continue;
        } else {
            json += unicodeEscape(c);
        }
        ++i;
    }
    json += '"';
    return json;
}

}  // namespace pxr9::tools
