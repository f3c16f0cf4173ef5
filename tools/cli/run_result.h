#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "engine/procedure_outcome.h"
#include "engine/version_stamps.h"
#include "tools/cli/cli_options.h"

namespace pxr9::tools {

// The three version stamps of a device, or of the images carried, as the report shows them.
struct PortUsed {
    std::int32_t device = -1;
    std::string name;
};

// What a run did, for `--json`.
struct RunResult {
    std::optional<PortUsed> in;  // empty: no port was chosen
    std::optional<PortUsed> out;
    // What the dialog would have shown last: an error box, the version report, or the
    // status line; empty when nothing was shown.
    std::string message;
    std::string cause;  // what is known of why, when the message is an error; else empty
    FailureKind failure = FailureKind::None;  // why the run failed; None unless it did
    std::optional<StampSet> before;           // the device's stamps: for version, the ones read
    std::optional<StampSet> after;            // for update, read again after it
    std::optional<StampSet> carried;
};

// "success", "failure", "aborted", "usage" or "versions-differ".
std::string outcomeName(int exitCode, bool aborted);

// One JSON object on one line: command, exitCode, outcome, message, cause, failure, ports,
// stamps.
std::string resultJson(const CliCommand& command, const RunResult& result, int exitCode,
                       bool aborted);

}  // namespace pxr9::tools
