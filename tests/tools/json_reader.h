#pragma once

// A strict reader of JSON text for the tests of the console's machine-readable result: what
// it accepts, any JSON reader accepts. Strings must be valid UTF-8 without raw control
// characters; \u escapes are decoded (surrogate pairs included). The result has no arrays,
// so neither has this reader.

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace pxr9::testing {

struct JsonValue {
    using Object = std::map<std::string, JsonValue>;
    std::variant<std::nullptr_t, bool, double, std::string, std::shared_ptr<Object>> value;

    bool isNull() const { return std::holds_alternative<std::nullptr_t>(value); }
    const std::string& str() const { return std::get<std::string>(value); }
    double number() const { return std::get<double>(value); }
    const Object& object() const { return *std::get<std::shared_ptr<Object>>(value); }
    const JsonValue& operator[](const std::string& key) const { return object().at(key); }
};

class JsonReader {
  public:
    // The value of the whole text, or none when it is not exactly one JSON value.
    static std::optional<JsonValue> parse(std::string_view text) {
        JsonReader reader(text);
        auto value = reader.value(0);
        reader.blanks();
        if (!value || reader.at_ != text.size()) return std::nullopt;
        return value;
    }

  private:
    explicit JsonReader(std::string_view text) : text_(text) {}

    bool more() const { return at_ < text_.size(); }
    char peek() const { return more() ? text_[at_] : '\0'; }
    void blanks() {
        while (more() && (peek() == ' ' || peek() == '\t' || peek() == '\n' || peek() == '\r'))
            ++at_;
    }
    bool take(std::string_view word) {
        if (text_.substr(at_, word.size()) != word) return false;
        at_ += word.size();
        return true;
    }

    std::optional<JsonValue> value(int depth) {
        if (depth > 64) return std::nullopt;
        blanks();
        if (take("null")) return JsonValue{nullptr};
        if (take("true")) return JsonValue{true};
        if (take("false")) return JsonValue{false};
        if (peek() == '"') {
            auto s = string();
            if (!s) return std::nullopt;
            return JsonValue{std::move(*s)};
        }
        if (peek() == '{') return object(depth);
        return number();
    }

    std::optional<JsonValue> object(int depth) {
        ++at_;
        auto members = std::make_shared<JsonValue::Object>();
        blanks();
        if (take("}")) return JsonValue{members};
        while (true) {
            blanks();
            auto key = string();
            if (!key) return std::nullopt;
            blanks();
            if (!take(":")) return std::nullopt;
            auto item = value(depth + 1);
            if (!item || members->count(*key)) return std::nullopt;
            members->emplace(std::move(*key), std::move(*item));
            blanks();
            if (take("}")) return JsonValue{members};
            if (!take(",")) return std::nullopt;
        }
    }

    std::optional<JsonValue> number() {
        const std::size_t start = at_;
        if (peek() == '-') ++at_;
        if (peek() == '0') {
            ++at_;
        } else if (peek() >= '1' && peek() <= '9') {
            while (peek() >= '0' && peek() <= '9') ++at_;
        } else {
            return std::nullopt;
        }
        if (peek() == '.') {
            ++at_;
            if (!(peek() >= '0' && peek() <= '9')) return std::nullopt;
            while (peek() >= '0' && peek() <= '9') ++at_;
        }
        if (peek() == 'e' || peek() == 'E') {
            ++at_;
            if (peek() == '+' || peek() == '-') ++at_;
            if (!(peek() >= '0' && peek() <= '9')) return std::nullopt;
            while (peek() >= '0' && peek() <= '9') ++at_;
        }
        return JsonValue{std::stod(std::string(text_.substr(start, at_ - start)))};
    }

    std::optional<std::uint32_t> hex4() {
        if (text_.size() - at_ < 4) return std::nullopt;
        std::uint32_t code = 0;
        for (int i = 0; i < 4; ++i) {
            const char c = text_[at_++];
            const int digit = c >= '0' && c <= '9'   ? c - '0'
                              : c >= 'a' && c <= 'f' ? c - 'a' + 10
                              : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                     : -1;
            if (digit < 0) return std::nullopt;
            code = code * 16 + static_cast<std::uint32_t>(digit);
        }
        return code;
    }

    static void appendUtf8(std::string& out, std::uint32_t code) {
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xC0 | (code >> 6));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            out += static_cast<char>(0xE0 | (code >> 12));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (code >> 18));
            out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
    }

    // Length of the valid UTF-8 sequence at the current position, or 0.
    std::size_t utf8Length() const {
        const auto byte = [&](std::size_t k) { return static_cast<std::uint8_t>(text_[at_ + k]); };
        const std::uint8_t lead = byte(0);
        std::size_t length = lead >= 0xC2 && lead <= 0xDF   ? 2
                             : lead >= 0xE0 && lead <= 0xEF ? 3
                             : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                            : 0;
        if (length == 0 || text_.size() - at_ < length) return 0;
        std::uint32_t code = lead & (0x7F >> length);
        for (std::size_t k = 1; k < length; ++k) {
            if ((byte(k) & 0xC0) != 0x80) return 0;
            code = (code << 6) | (byte(k) & 0x3F);
        }
        const std::uint32_t lowest = length == 2 ? 0x80 : length == 3 ? 0x800 : 0x10000;
        if (code < lowest || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
        return length;
    }

    std::optional<std::string> string() {
        if (!take("\"")) return std::nullopt;
        std::string out;
        while (true) {
            if (!more()) return std::nullopt;
            const auto c = static_cast<std::uint8_t>(text_[at_]);
            if (c == '"') {
                ++at_;
                return out;
            }
            if (c < 0x20) return std::nullopt;
            if (c >= 0x80) {
                const std::size_t length = utf8Length();
                if (length == 0) return std::nullopt;
                out.append(text_.substr(at_, length));
                at_ += length;
                continue;
            }
            ++at_;
            if (c != '\\') {
                out += static_cast<char>(c);
                continue;
            }
            if (!more()) return std::nullopt;
            const char e = text_[at_++];
            switch (e) {
                case '"':
                    out += '"';
                    break;
                case '\\':
                    out += '\\';
                    break;
                case '/':
                    out += '/';
                    break;
                case 'b':
                    out += '\b';
                    break;
                case 'f':
                    out += '\f';
                    break;
                case 'n':
                    out += '\n';
                    break;
                case 'r':
                    out += '\r';
                    break;
                case 't':
                    out += '\t';
                    break;
                case 'u': {
                    auto code = hex4();
                    if (!code) return std::nullopt;
                    if (*code >= 0xD800 && *code <= 0xDBFF) {
                        if (!take("\\u")) return std::nullopt;
                        auto low = hex4();
                        if (!low || *low < 0xDC00 || *low > 0xDFFF) return std::nullopt;
                        code = 0x10000 + ((*code - 0xD800) << 10) + (*low - 0xDC00);
                    } else if (*code >= 0xDC00 && *code <= 0xDFFF) {
                        return std::nullopt;
                    }
                    appendUtf8(out, *code);
                    break;
                }
                default:
                    return std::nullopt;
            }
        }
    }

    std::string_view text_;
    std::size_t at_ = 0;
};

}  // namespace pxr9::testing
