#include "engine/updater_state.h"

#include <utility>

namespace pxr9 {

UpdaterState::UpdaterState(const UpdaterPlatform& platform, DialogSurface& dialogSurface,
                           ResourceLookup lookup)
    : channel(platform.inputs, platform.outputs, platform.replyEvent),
      link(channel.link),
      surface(dialogSurface),
      clock(platform.clock),
      findResource(std::move(lookup)),
      watcher_(platform.watcher) {
    if (watcher_ != nullptr) watcher_->watch(&channel.dispatcher);
}

UpdaterState::~UpdaterState() {
    if (watcher_ != nullptr) watcher_->watch(nullptr);
}

void UpdaterState::requestAbort() {
    abortRequested.store(true);
    link.replyEvent.set();
}

}  // namespace pxr9
