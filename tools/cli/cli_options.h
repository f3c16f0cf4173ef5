#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace pxr9::tools {

enum class CliVerb { Ports, Update, Version };

// A port given on the command line: a device number, or a device name matched exactly.
struct PortArg {
    std::optional<std::int32_t> number;
    std::string name;
    friend bool operator==(const PortArg&, const PortArg&) = default;
};

struct CliCommand {
    CliVerb verb = CliVerb::Ports;
    std::optional<PortArg> in;
    std::optional<PortArg> out;
    int instance = 1;            // which copy's port names are pre-selected
    bool instanceGiven = false;  // --instance on the command line
    bool verify = false;
    bool json = false;   // the result as one JSON object on the output, the rest on errors
    bool watch = false;  // ports: listed again on each change until SIGINT or SIGTERM
};

struct CliArgs {
    std::optional<CliCommand> command;  // empty on an error or for --help
    bool help = false;
    std::string error;
};

// The command line after the program name.
CliArgs parseCliArgs(const std::vector<std::string>& args);

extern const char* const kCliUsage;

// Exit codes.
inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitStampsDiffer = 3;

}  // namespace pxr9::tools
