#include "tools/cli/port_diagnosis.h"

#include "midi/port_selection.h"

namespace pxr9::tools {

namespace {

std::string quoted(const std::string& text) {
    return "\"" + text + "\"";
}

// "a", "b" or "c"
std::string alternatives(const std::array<std::string, kPortNameCount>& names) {
    std::string text;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i > 0) text += i + 1 == names.size() ? " or " : ", ";
        text += quoted(names[i]);
    }
    return text;
}

}  // namespace

std::string portListText(const char* list, const std::vector<std::string>& names) {
    std::string text = std::string(list) + " ports:" + (names.empty() ? " none\n" : "\n");
    for (std::size_t i = 0; i < names.size(); ++i) {
        text += "    " + std::to_string(i) + "  " + names[i] + "\n";
    }
    return text;
}

std::string describePortProblem(const PortChoice& choice, const std::optional<PortArg>& arg,
                                const char* list, const char* option,
                                const std::vector<std::string>& names, int instance) {
    switch (choice.problem) {
        case PortProblem::None:
            return {};
        case PortProblem::OutOfRange: {
            std::string text =
                std::string(option) + " " + std::to_string(*arg->number) + " is out of range: ";
            if (names.empty()) return text + "there is no " + list + " port\n";
            return text + "the " + list + " ports are numbered 0 to " +
                   std::to_string(names.size() - 1) + "\n";
        }
        case PortProblem::NoSuchName:
            return std::string(list) + ": no device named " + quoted(arg->name) + "\n" +
                   portListText(list, names);
        case PortProblem::NoMatch:
            return std::string(list) + ": looked for a port named " +
                   alternatives(portPatterns(instance, kPlatformNameEncoding)) + " (copy " +
                   std::to_string(instance) + "); none is there\n" + portListText(list, names);
    }
    return {};
}

}  // namespace pxr9::tools
