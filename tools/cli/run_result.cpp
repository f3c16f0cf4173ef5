#include "tools/cli/run_result.h"

#include "tools/cli/json_text.h"

namespace pxr9::tools {

namespace {

std::string portJson(const std::optional<PortUsed>& port) {
    if (!port) return "null";
    return "{\"device\": " + std::to_string(port->device) +
           ", \"name\": " + jsonQuoted(port->name) + "}";
}

std::string stampsJson(const std::optional<StampSet>& stamps) {
    if (!stamps) return "null";
    return "{\"system\": " + jsonQuoted(stamps->system) +
           ", \"preset\": " + jsonQuoted(stamps->preset) +
           ", \"boot\": " + jsonQuoted(stamps->boot) + "}";
}

}  // namespace

std::string outcomeName(int exitCode, bool aborted) {
    if (aborted) return "aborted";
    switch (exitCode) {
        case kExitSuccess:
            return "success";
        case kExitUsage:
            return "usage";
        case kExitStampsDiffer:
            return "versions-differ";
        default:
            return "failure";
    }
}

std::string resultJson(const CliCommand& command, const RunResult& result, int exitCode,
                       bool aborted) {
    const bool update = command.verb == CliVerb::Update;
    std::string json = "{\"command\": ";
    json += update ? "\"update\"" : command.verb == CliVerb::Version ? "\"version\"" : "\"ports\"";
    json += ", \"exitCode\": " + std::to_string(exitCode);
    json += ", \"outcome\": " + jsonQuoted(outcomeName(exitCode, aborted));
    json += ", \"message\": " + jsonQuoted(result.message);
    json += ", \"cause\": " + jsonQuoted(result.cause);
    json += ", \"failure\": " + jsonQuoted(failureKindName(result.failure));
    json +=
        ", \"ports\": {\"in\": " + portJson(result.in) + ", \"out\": " + portJson(result.out) + "}";
    json += ", \"stamps\": {";
    if (update) {
        json +=
            "\"before\": " + stampsJson(result.before) + ", \"after\": " + stampsJson(result.after);
    } else {
        json += "\"device\": " + stampsJson(result.before);
    }
    json += ", \"carried\": " + stampsJson(result.carried) + "}}";
    return json;
}

}  // namespace pxr9::tools
