#include "tests/doubles/engine_harness.h"

namespace pxr9::testing {

EngineHarness::EngineHarness(sim::SimConfig config, ResourceLookup lookup)
    : world(std::move(config)), state(world.platform(), surface, std::move(lookup)) {
    session.openPorts(0, 0);
}

ProcedureOutcome EngineHarness::run(const DeviceSession::Procedure& procedure) {
    return session.run(procedure);
}

}  // namespace pxr9::testing
