#include "tests/doubles/engine_harness.h"

namespace pxr9::testing {

EngineHarness::EngineHarness(sim::SimConfig config, ResourceLookup lookup)
    : world(std::move(config)), state(world.platform(), surface, std::move(lookup)) {
    session.openPorts(0, 0);
}

ProcedureOutcome EngineHarness::run(ProcedureOutcome (*procedure)(UpdaterState&)) {
    return session.run(procedure);
}

void EngineHarness::runWorker(int (*entry)(UpdaterState&)) {
    if (session.begin([this, entry] { entry(state); })) worker.join();
}

}  // namespace pxr9::testing
