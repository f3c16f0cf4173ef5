#pragma once

#include <memory>

#include "engine/updater_state.h"

namespace pxr9::tools {

// The real MIDI services, timer, reply event and clock of this machine.
class SystemPlatform {
  public:
    SystemPlatform();
    ~SystemPlatform();
    SystemPlatform(const SystemPlatform&) = delete;
    SystemPlatform& operator=(const SystemPlatform&) = delete;

    UpdaterPlatform platform();

  private:
    struct Parts;
    std::unique_ptr<Parts> parts_;
};

}  // namespace pxr9::tools
