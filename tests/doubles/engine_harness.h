#pragma once

#include "engine/device_session.h"
#include "engine/updater_state.h"
#include "tests/doubles/inline_worker_runner.h"
#include "tests/doubles/surface_recorder.h"
#include "tests/doubles/virtual_world.h"

namespace pxr9::testing {

// An UpdaterState wired to a simulated PXR-9 through the fake MIDI services, with both ports
// open on the device and the dispatch thread running, as a command leaves it. run() then goes
// on as the command does, on the test's thread.
struct EngineHarness {
    explicit EngineHarness(sim::SimConfig config = {}, ResourceLookup lookup = pxr9::findResource);

    // The procedure's outcome.
    ProcedureOutcome run(const DeviceSession::Procedure& procedure);

    VirtualWorld world;
    SurfaceRecorder surface;
    UpdaterState state;
    InlineWorkerRunner worker;
    DeviceSession session{state, worker};
};

}  // namespace pxr9::testing
