#include "platform/system_platform.h"

#include "platform/midi/system_midi_services.h"
#include "platform/real_time.h"

namespace pxr9 {

struct SystemPlatform::Parts {
    SystemMidiServices midi;
    RealReplyEvent replyEvent;
    RealClock clock;
};

SystemPlatform::SystemPlatform() : parts_(std::make_unique<Parts>()) {}

SystemPlatform::~SystemPlatform() = default;

UpdaterPlatform SystemPlatform::platform() {
    UpdaterPlatform platform{parts_->midi.inputs(), parts_->midi.outputs(), parts_->replyEvent,
                             parts_->clock};
    platform.portWatch = &parts_->midi.portWatch();
    return platform;
}

PortNotes& SystemPlatform::portNotes() {
    return parts_->midi.portNotes();
}

}  // namespace pxr9
