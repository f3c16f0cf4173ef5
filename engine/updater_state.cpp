#include "engine/updater_state.h"

#include <utility>

namespace pxr9 {

UpdaterState::UpdaterState(const UpdaterPlatform& platform, DialogSurface& dialogSurface,
                           ResourceLookup lookup)
    : in(platform.midiIn),
      out(platform.midiOut),
      link(out, in.queue(), platform.replyEvent),
      timer(platform.timer, in.queue()),
      surface(dialogSurface),
      clock(platform.clock),
      findResource(std::move(lookup)) {}

void UpdaterState::requestAbort() {
    abortRequested.store(true);
    link.replyEvent.set();
}

}  // namespace pxr9
