#include "app/program_platform.h"

#include "platform/midi/system_midi_services.h"
#include "platform/real_time.h"
#include "platform/real_timer_platform.h"

namespace pxr9 {

struct ProgramPlatform::Parts {
    SystemMidiServices midi;
    RealTimerPlatform timer;
    RealReplyEvent replyEvent;
    RealClock clock;
};

ProgramPlatform::ProgramPlatform() : parts_(std::make_unique<Parts>()) {}

ProgramPlatform::~ProgramPlatform() = default;

UpdaterPlatform ProgramPlatform::platform() {
    return {parts_->midi.in(), parts_->midi.out(), parts_->timer, parts_->replyEvent,
            parts_->clock};
}

PortNotes& ProgramPlatform::portNotes() {
    return parts_->midi.portNotes();
}

}  // namespace pxr9
