#pragma once

#include <memory>

#include "engine/updater_state.h"
#include "platform/midi/port_notes.h"

namespace pxr9 {

// The real MIDI services, timer, event and clock the program runs on; built once in main.
class ProgramPlatform {
  public:
    ProgramPlatform();
    ~ProgramPlatform();
    ProgramPlatform(const ProgramPlatform&) = delete;
    ProgramPlatform& operator=(const ProgramPlatform&) = delete;

    UpdaterPlatform platform();
    // Why a hardware port could not be opened, or how it was reached anyway.
    PortNotes& portNotes();

  private:
    struct Parts;
    std::unique_ptr<Parts> parts_;
};

}  // namespace pxr9
