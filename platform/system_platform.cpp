#include "platform/system_platform.h"

#include "platform/midi/system_midi_services.h"
#include "platform/real_time.h"
#include "platform/real_timer_platform.h"

namespace pxr9 {

struct SystemPlatform::Parts {
    SystemMidiServices midi;
    RealTimerPlatform timer;
    RealReplyEvent replyEvent;
    RealClock clock;
};

SystemPlatform::SystemPlatform() : parts_(std::make_unique<Parts>()) {}

SystemPlatform::~SystemPlatform() = default;

UpdaterPlatform SystemPlatform::platform() {
    return {parts_->midi.in(), parts_->midi.out(), parts_->timer, parts_->replyEvent,
            parts_->clock};
}

PortNotes& SystemPlatform::portNotes() {
    return parts_->midi.portNotes();
}

}  // namespace pxr9
