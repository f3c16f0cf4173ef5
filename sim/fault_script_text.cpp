#include "sim/fault_script_text.h"

#include <cctype>
#include <charconv>
#include <cstdint>

namespace pxr9::sim {

namespace {

constexpr std::uint64_t kMaxLateMs = 86'400'000;
constexpr std::uint8_t kReadDataByte5 = 0x04;
constexpr std::uint8_t kReadDataByte6 = 0x30;

bool isSeparator(char c) {
    return c == ',' || c == ';' || c == ' ' || c == '\t' || c == '\n';
}

std::optional<std::uint64_t> parseNumber(std::string_view text) {
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        base = 16;
    }
    if (text.empty()) return std::nullopt;
    std::uint64_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (ec != std::errc{} || end != text.data() + text.size()) return std::nullopt;
    return value;
}

bool sevenBitBytes(std::uint64_t word) {
    return word <= 0xFFFFFFFFu && (word & 0x80808080u) == 0;
}

std::optional<Occurrences> parseOccurrences(std::string_view text) {
    const std::size_t dash = text.find('-');
    if (dash == std::string_view::npos) {
        const auto n = parseNumber(text);
        if (!n || *n == 0) return std::nullopt;
        return Occurrences::only(*n);
    }
    const auto first = parseNumber(text.substr(0, dash));
    if (!first || *first == 0) return std::nullopt;
    const std::string_view rest = text.substr(dash + 1);
    if (rest.empty()) return Occurrences::from(*first);
    const auto last = parseNumber(rest);
    if (!last || *last < *first) return std::nullopt;
    return Occurrences::range(*first, *last);
}

// Parses an action for `kind`; returns an error text, empty on success.
std::string parseAction(std::string_view text, RequestKind kind, Fault& fault) {
    const std::size_t colon = text.find(':');
    const std::string_view name = text.substr(0, colon);
    const bool hasArgument = colon != std::string_view::npos;
    const std::optional<std::uint64_t> argument =
        hasArgument ? parseNumber(text.substr(colon + 1)) : std::nullopt;
    if (hasArgument && !argument) return "bad number in \"" + std::string(text) + "\"";

    const auto plain = [&](FaultType type) -> std::string {
        if (hasArgument) return "\"" + std::string(name) + "\" takes no value";
        fault = {type, 0};
        return {};
    };
    const auto needsValue = [&]() -> std::string {
        return "\"" + std::string(name) + "\" needs a value";
    };
    const auto onlyFor = [&](RequestKind wanted) -> std::string {
        if (kind == wanted) return {};
        return "\"" + std::string(name) + "\" applies to " + std::string(requestKindName(wanted)) +
               " only";
    };
    const auto readByte = [&](FaultType type, std::uint8_t right) -> std::string {
        if (auto error = onlyFor(RequestKind::MemoryRead); !error.empty()) return error;
        const std::uint64_t value = argument.value_or(0);
        if (value > 0x7F || value == right)
            return "wrong byte must be 0..0x7F and not the right one";
        fault = {type, static_cast<std::uint32_t>(value)};
        return {};
    };

    if (name == "no-answer") return plain(FaultType::NoAnswer);
    if (name == "silent") return plain(FaultType::Silent);
    if (name == "bad-crc") {
        if (auto error = onlyFor(RequestKind::MemoryRead); !error.empty()) return error;
        return plain(FaultType::BadCrc);
    }
    if (name == "late") {
        if (!argument) return needsValue();
        if (*argument == 0 || *argument > kMaxLateMs) return "late needs 1..86400000 ms";
        fault = {FaultType::Late, static_cast<std::uint32_t>(*argument)};
        return {};
    }
    if (name == "refuse") {
        if (!argument) return needsValue();
        if (*argument == 0 || *argument > 0x7F) return "refuse needs a status of 1..0x7F";
        fault = {FaultType::Refuse, static_cast<std::uint32_t>(*argument)};
        return {};
    }
    if (name == "identity") {
        if (auto error = onlyFor(RequestKind::IdentityRequest); !error.empty()) return error;
        if (!argument) return needsValue();
        if (!sevenBitBytes(*argument)) return "identity word needs four bytes below 0x80";
        fault = {FaultType::Identity, static_cast<std::uint32_t>(*argument)};
        return {};
    }
    if (name == "twice") return plain(FaultType::Twice);
    if (name == "stray") {
        if (!argument) return needsValue();
        if (*argument > 0x7F) return "stray needs a status of 0..0x7F";
        fault = {FaultType::Stray, static_cast<std::uint32_t>(*argument)};
        return {};
    }
    if (name == "stray-read") {
        if (hasArgument) return "\"stray-read\" takes no value";
        fault = {FaultType::Stray, kStrayReadData};
        return {};
    }
    if (name == "wrong-byte5") return readByte(FaultType::WrongByte5, kReadDataByte5);
    if (name == "wrong-byte6") return readByte(FaultType::WrongByte6, kReadDataByte6);
    return "unknown action \"" + std::string(name) + "\"";
}

std::string parseRule(std::string_view text, FaultRule& rule) {
    const std::size_t equals = text.find('=');
    if (equals == std::string_view::npos) return "missing \"=\"";
    std::string_view head = text.substr(0, equals);
    const std::size_t at = head.find('@');
    const std::string_view kindName = head.substr(0, at);
    const auto kind = requestKindFromName(kindName);
    if (!kind) return "unknown request kind \"" + std::string(kindName) + "\"";
    rule.kind = *kind;
    rule.when = Occurrences::every();
    if (at != std::string_view::npos) {
        const auto when = parseOccurrences(head.substr(at + 1));
        if (!when) return "bad occurrences \"" + std::string(head.substr(at + 1)) + "\"";
        rule.when = *when;
    }
    return parseAction(text.substr(equals + 1), rule.kind, rule.fault);
}

// 0x-hexadecimal with at least `digits` digits: identity words read as 0x0010006E.
std::string hex(std::uint32_t value, std::size_t digits) {
    char buffer[16];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value, 16);
    (void)ec;
    std::string text(buffer, end);
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (text.size() < digits) text.insert(0, digits - text.size(), '0');
    return "0x" + text;
}

}  // namespace

FaultScriptParse parseFaultScript(std::string_view text) {
    FaultScript script;
    std::size_t pos = 0;
    while (pos < text.size()) {
        if (isSeparator(text[pos])) {
            ++pos;
            continue;
        }
        std::size_t end = pos;
        while (end < text.size() && !isSeparator(text[end])) ++end;
        const std::string_view ruleText = text.substr(pos, end - pos);
        FaultRule rule;
        if (std::string error = parseRule(ruleText, rule); !error.empty()) {
            return {std::nullopt, "in \"" + std::string(ruleText) + "\": " + error};
        }
        script.add(rule);
        pos = end;
    }
    return {std::move(script), {}};
}

std::string formatFaultRule(const FaultRule& rule) {
    std::string text(requestKindName(rule.kind));
    const Occurrences& when = rule.when;
    if (when != Occurrences::every()) {
        text += "@" + std::to_string(when.first);
        if (when.last == Occurrences::kOpenEnd) {
            text += "-";
        } else if (when.last != when.first) {
            text += "-" + std::to_string(when.last);
        }
    }
    text += "=";
    const std::uint32_t value = rule.fault.value;
    switch (rule.fault.type) {
        case FaultType::NoAnswer:
            return text + "no-answer";
        case FaultType::Late:
            return text + "late:" + std::to_string(value);
        case FaultType::Refuse:
            return text + "refuse:" + std::to_string(value);
        case FaultType::Identity:
            return text + "identity:" + hex(value, 8);
        case FaultType::BadCrc:
            return text + "bad-crc";
        case FaultType::WrongByte5:
            return text + "wrong-byte5:" + hex(value, 2);
        case FaultType::WrongByte6:
            return text + "wrong-byte6:" + hex(value, 2);
        case FaultType::Silent:
            return text + "silent";
        case FaultType::Twice:
            return text + "twice";
        case FaultType::Stray:
            return text +
                   (value == kStrayReadData ? "stray-read" : "stray:" + std::to_string(value));
    }
    return text;
}

std::string formatFaultScript(const FaultScript& script) {
    std::string text;
    for (const FaultRule& rule : script.rules()) {
        if (!text.empty()) text += ",";
        text += formatFaultRule(rule);
    }
    return text;
}

}  // namespace pxr9::sim
