#include "platform/midi/alsa/rawmidi_holders.h"

#include <cerrno>
#include <charconv>
#include <cstring>

namespace pxr9 {

namespace {

std::optional<long> number(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\r')) text.remove_suffix(1);
    long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

std::string direction(bool output) {
    return output ? "MIDI Out" : "MIDI In";
}

std::string address(int client, int port) {
    return std::to_string(client) + ":" + std::to_string(port);
}

}  // namespace

std::optional<RawMidiPlace> parseRawMidiPlace(std::string_view text) {
    if (text.substr(0, 3) != "hw:") return std::nullopt;
    text.remove_prefix(3);
    int parts[3] = {0, 0, 0};
    for (int i = 0; i < 3; ++i) {
        const std::size_t comma = text.find(',');
        const std::string_view part = text.substr(0, comma);
        const auto value = number(part);
        if (!value || *value < 0 || *value > 255 || part.empty() || part.front() == ' ') {
            return std::nullopt;
        }
        parts[i] = static_cast<int>(*value);
        if (comma == std::string_view::npos) {
            if (i < 1) return std::nullopt;  // a card alone names no port
            text = {};
            break;
        }
        text.remove_prefix(comma + 1);
        if (i == 2) return std::nullopt;  // more than three numbers
    }
    return RawMidiPlace{parts[0], parts[1], parts[2]};
}

std::optional<RawMidiSubstreamState> parseRawMidiProc(std::string_view text, bool output,
                                                      int substream) {
    const std::string heading = (output ? "Output " : "Input ") + std::to_string(substream);
    std::optional<RawMidiSubstreamState> state;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (!line.empty() && line.front() != ' ') {
            if (state) break;  // the next section
            if (line == heading) state.emplace();
            continue;
        }
        if (!state) continue;
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos) continue;
        std::string_view key = line.substr(0, colon);
        while (!key.empty() && key.front() == ' ') key.remove_prefix(1);
        while (!key.empty() && key.back() == ' ') key.remove_suffix(1);
        const auto value = number(line.substr(colon + 1));
        if (key == "Owner PID" && value) {
            state->open = true;
            state->ownerPid = static_cast<int>(*value);
        } else if (key == "Buffer size" && value) {
            state->open = true;
            state->bufferSize = *value;
        } else if (key == "Avail" && value) {
            state->avail = *value;
        }
    }
    return state;
}

std::string busyCause(const PortHolders& h) {
    std::string text = direction(h.output) + " \"" + h.portName + "\" is busy: ";
    if (!h.listeners.empty()) {
        text += "the ALSA sequencer holds it for ";
        std::string disconnect;
        for (std::size_t i = 0; i < h.listeners.size(); ++i) {
            const SeqListener& l = h.listeners[i];
            if (i > 0) text += i + 1 == h.listeners.size() ? " and " : ", ";
            text += (l.name.empty() ? std::string("a program") : l.name) + " (client " +
                    std::to_string(l.client);
            if (l.pid > 0) text += ", process " + std::to_string(l.pid);
            text += ")";
            const std::string device = address(h.seqClient, h.seqPort);
            const std::string other = address(l.client, l.port);
            if (!disconnect.empty()) disconnect += "; ";
            disconnect += "aconnect -d " + (h.output ? other + " " + device : device + " " + other);
        }
        text += ". To free it, close ";
        text += h.listeners.size() == 1 ? "that program" : "those programs";
        text += " or disconnect " + std::string(h.listeners.size() == 1 ? "it" : "them") + " (" +
                disconnect + ").";
        return text;
    }
    if (h.ownerPid > 0) {
        text += (h.ownerName.empty() ? std::string("a program") : h.ownerName) + " (process " +
                std::to_string(h.ownerPid) + ") has it open. To free it, close that program.";
        return text;
    }
    return text +
           "another program has it open. To free it, close the programs that use MIDI "
           "(a sound server's MIDI bridge, a music program).";
}

std::string openFailureCause(std::string_view portName, bool output, std::string_view where,
                             int error) {
    std::string text = direction(output) + " \"" + std::string(portName) + "\" cannot be opened (" +
                       std::string(where) + "): " + std::strerror(error < 0 ? -error : error);
    if (error == -EACCES || error == -EPERM) text += ". The user needs to be in the group audio";
    return text + ".";
}

}  // namespace pxr9
