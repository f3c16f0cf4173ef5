#pragma once

#include <optional>
#include <string>

#include "platform/instance_lock.h"
#include "platform/instance_name.h"
#include "tools/cli/cli_options.h"

namespace pxr9::tools {

// What a command needs in the way of a copy number before it may touch MIDI.
struct CopyNumberClaim {
    bool refused = false;              // every number is taken: the command must not run
    std::optional<InstanceLock> lock;  // held for as long as the command runs
};

// Update and version without --instance take the lowest free copy number, exactly as the
// dialog does, and pre-select that copy's ports. `ports` reads nothing from a device and an
// explicit --instance names the ports itself, so neither takes a number.
CopyNumberClaim claimCopyNumber(CliCommand& command, const std::string& base = kUpdaterTitle,
                                int limit = kMaxInstances);

}  // namespace pxr9::tools
