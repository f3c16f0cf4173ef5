#include "tools/cli/copy_number.h"

#include <utility>

namespace pxr9::tools {

CopyNumberClaim claimCopyNumber(CliCommand& command, const std::string& base, int limit) {
    if (command.verb == CliVerb::Ports || command.instanceGiven) return {};
    auto numbered = takeInstanceNumber(base, limit);
    if (!numbered) return CopyNumberClaim{true, std::nullopt};
    command.instance = numbered->number;
    return CopyNumberClaim{false, std::move(numbered->lock)};
}

}  // namespace pxr9::tools
