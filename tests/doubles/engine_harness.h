#pragma once

#include "engine/updater_state.h"
#include "tests/doubles/surface_recorder.h"
#include "tests/doubles/virtual_world.h"

namespace pxr9::testing {

// An UpdaterState wired to a simulated PXR-9 through the fake MIDI services, in the state a
// command handler leaves it before starting a worker: both ports open on the device, the poll
// timer running, busy set and the reply event reset.
struct EngineHarness {
    explicit EngineHarness(sim::SimConfig config = {}, ResourceLookup lookup = pxr9::findResource);

    VirtualWorld world;
    SurfaceRecorder surface;
    UpdaterState state;
};

}  // namespace pxr9::testing
