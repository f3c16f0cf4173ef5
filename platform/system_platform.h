#pragma once

#include <memory>

#include "engine/updater_state.h"
#include "platform/midi/port_notes.h"

namespace pxr9 {

// The real MIDI ports, reply event and clock of this machine, as both programs run
// on them; built once in main and kept for as long as any port or worker may use them.
class SystemPlatform {
  public:
    SystemPlatform();
    ~SystemPlatform();
    SystemPlatform(const SystemPlatform&) = delete;
    SystemPlatform& operator=(const SystemPlatform&) = delete;

    UpdaterPlatform platform();
    // Why a hardware port could not be opened, or how it was reached anyway.
    PortNotes& portNotes();

  private:
    struct Parts;
    std::unique_ptr<Parts> parts_;
};

}  // namespace pxr9
