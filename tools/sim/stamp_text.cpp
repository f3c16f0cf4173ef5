#include "tools/sim/stamp_text.h"

#include <cstdio>

namespace pxr9::tools {

namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

std::string escapeStamp(const sim::VersionStamp& stamp) {
    std::string text;
    for (std::uint8_t b : stamp) {
        if (b == '\\') {
            text += "\\\\";
        } else if (b >= 0x20 && b <= 0x7E) {
            text += static_cast<char>(b);
        } else {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", b);
            text += escaped;
        }
    }
    return text;
}

std::optional<sim::VersionStamp> parseStamp(std::string_view text) {
    sim::VersionStamp stamp{};
    std::size_t count = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (count == stamp.size()) return std::nullopt;
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '\\') {
            if (i + 1 < text.size() && text[i + 1] == '\\') {
                stamp[count++] = '\\';
                i += 1;
                continue;
            }
            if (i + 3 < text.size() && text[i + 1] == 'x') {
                const int high = hexValue(text[i + 2]);
                const int low = hexValue(text[i + 3]);
                if (high < 0 || low < 0) return std::nullopt;
                stamp[count++] = static_cast<std::uint8_t>(high * 16 + low);
                i += 3;
                continue;
            }
            return std::nullopt;
        }
        if (c < 0x20 || c > 0x7E) return std::nullopt;
        stamp[count++] = c;
    }
    if (count != stamp.size()) return std::nullopt;
    return stamp;
}

std::string jsonString(std::string_view text) {
    std::string json = "\"";
    for (char c : text) {
        const auto b = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            json += '\\';
            json += c;
        } else if (b < 0x20 || b > 0x7E) {
            char escaped[7];
            std::snprintf(escaped, sizeof escaped, "\\u%04X", b);
            json += escaped;
        } else {
            json += c;
        }
    }
    json += '"';
    return json;
}

}  // namespace pxr9::tools
