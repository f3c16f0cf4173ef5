#include "tests/doubles/engine_harness.h"

#include "protocol/dispatcher.h"

namespace pxr9::testing {

EngineHarness::EngineHarness(sim::SimConfig config, ResourceLookup lookup)
    : world(std::move(config)), state(world.platform(), surface, std::move(lookup)) {
    state.timer.start(onPollTimer, reinterpret_cast<std::uintptr_t>(&state.link));
    state.out.open(0);
    state.in.open(0);
    state.busy.store(1);
    state.link.replyEvent.reset();
}

}  // namespace pxr9::testing
