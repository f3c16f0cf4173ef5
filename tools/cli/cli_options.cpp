#include "tools/cli/cli_options.h"

#include <cstdint>

#include "tools/common/number_text.h"

namespace pxr9::tools {

const char* const kCliUsage =
    "usage: pxr9-cli ports [--instance N] [--watch]\n"
    "       pxr9-cli update [--in N|NAME] [--out N|NAME] [--instance N] [--verify] [--json]\n"
    "       pxr9-cli version [--in N|NAME] [--out N|NAME] [--instance N] [--json]\n"
    "Without --in/--out the device's ports are chosen by name, as copy N (1..20) of the updater\n"
    "would choose them. Without --instance, update and version take the lowest copy number\n"
    "that no running copy holds, as the dialog does (ports: copy 1).\n"
    "--watch lists the ports again on each change, after a line per port that came (+) or\n"
    "went (-), until SIGINT or SIGTERM.\n"
    "--verify checks the versions after an update.\n"
    "--json prints the result as one JSON object; everything else then goes to the error\n"
    "stream. With update, the versions are read before and after the update.\n"
    "Exit codes: 0 success, 1 failure or abort, 2 bad usage, 3 versions differ after --verify.\n";

namespace {

constexpr std::uint64_t kHighestInstance = 20;

PortArg portArg(const std::string& text) {
    if (const auto n = parseNumber(text, INT32_MAX);
        n && text.find_first_not_of("0123456789") == std::string::npos) {
        return PortArg{static_cast<std::int32_t>(*n), {}};
    }
    return PortArg{std::nullopt, text};
}

}  // namespace

CliArgs parseCliArgs(const std::vector<std::string>& args) {
    auto fail = [](std::string error) { return CliArgs{std::nullopt, false, std::move(error)}; };
    if (args.empty()) return fail("no command given");
    if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        return CliArgs{std::nullopt, true, {}};
    }

    CliCommand command;
    if (args[0] == "ports") {
        command.verb = CliVerb::Ports;
    } else if (args[0] == "update") {
        command.verb = CliVerb::Update;
    } else if (args[0] == "version") {
        command.verb = CliVerb::Version;
    } else {
        return fail("unknown command \"" + args[0] + "\"");
    }

    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& option = args[i];
        if (option == "--help" || option == "-h") return CliArgs{std::nullopt, true, {}};
        if (option == "--verify") {
            if (command.verb != CliVerb::Update) return fail("--verify belongs to update");
            if (command.verify) return fail("--verify given twice");
            command.verify = true;
            continue;
        }
        if (option == "--watch") {
            if (command.verb != CliVerb::Ports) return fail("--watch belongs to ports");
            if (command.watch) return fail("--watch given twice");
            command.watch = true;
            continue;
        }
        if (option == "--json") {
            if (command.verb == CliVerb::Ports) return fail("--json belongs to update and version");
            if (command.json) return fail("--json given twice");
            command.json = true;
            continue;
        }
        const bool isPort = option == "--in" || option == "--out";
        if (!isPort && option != "--instance") return fail("unknown option \"" + option + "\"");
        if (isPort && command.verb == CliVerb::Ports)
            return fail(option + " belongs to update and version");
        if (i + 1 >= args.size()) return fail(option + " needs a value");
        const std::string& value = args[++i];
        if (isPort) {
            std::optional<PortArg>& target = option == "--in" ? command.in : command.out;
            if (target) return fail(option + " given twice");
            if (value.empty()) return fail(option + " needs a device number or name");
            target = portArg(value);
        } else {
            if (command.instanceGiven) return fail("--instance given twice");
            const auto n = parseNumber(value, kHighestInstance);
            if (!n || *n < 1) return fail("--instance takes a copy number from 1 to 20");
            command.instance = static_cast<int>(*n);
            command.instanceGiven = true;
        }
    }
    return CliArgs{command, false, {}};
}

}  // namespace pxr9::tools
