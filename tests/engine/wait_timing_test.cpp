// Every wait and pause of the update and the version check, pinned on the virtual clock: how
// long after a request the next one leaves, or the run ends.
#include <gtest/gtest.h>

#include <functional>

#include "engine/reply_wait.h"
#include "engine/update_procedure.h"
#include "engine/version_check.h"
#include "protocol/messages.h"
#include "tests/doubles/engine_harness.h"
#include "tests/engine/flash_expectations.h"

namespace pxr9::testing {
namespace {

using sim::Occurrences;
using sim::RequestKind;

const Match kIdentity = isIdentityRequest;

enum class Worker { Update, VersionCheck };

struct TimingCase {
    const char* name;
    Worker worker;
    std::function<void(sim::FaultScript&)> arrange;
    Match request;             // the message whose wait or pause is measured
    int nth;                   // its occurrence, from 1
    std::uint64_t expectedMs;  // until the next message leaves, or the run ends
};

void PrintTo(const TimingCase& c, std::ostream* os) {
    *os << c.name;
}

void none(sim::FaultScript&) {}
auto lose(RequestKind kind, Occurrences when) {
    return [kind, when](sim::FaultScript& f) { f.noAnswer(kind, when); };
}
auto refuseOnce(RequestKind kind) {
    return [kind](sim::FaultScript& f) { f.refuse(kind, Occurrences::only(1), 2); };
}

const TimingCase kCases[] = {
    {"IdentityWait", Worker::Update, lose(RequestKind::IdentityRequest, Occurrences::every()),
     kIdentity, 1, 30000},
    {"UpdateStartWait", Worker::Update, lose(RequestKind::UpdateStart, Occurrences::every()),
     command(kCmdUpdateStart), 1, 30000},
    {"PauseBeforeThePlan", Worker::Update, none, command(kCmdUpdateStart), 1, 500},
    {"BootStampReadWait", Worker::Update, lose(RequestKind::MemoryRead, Occurrences::every()),
     command(kCmdMemory), 1, 120000},
    {"EraseWait", Worker::Update, lose(RequestKind::FlashErase, Occurrences::every()),
     command(kCmdFlashErase), 1, 120000},
    {"EraseResendPause", Worker::Update, refuseOnce(RequestKind::FlashErase),
     command(kCmdFlashErase), 1, 100},
    {"BlockWaitOfTheLastSend", Worker::Update,
     lose(RequestKind::WriteBlock, Occurrences::range(1, 32)), command(kCmdWriteBlock), 32, 1000},
    // The block wait and the resend pause; then the barrier's Identity Request leaves.
    {"BlockResendAfterATimeout", Worker::Update,
     lose(RequestKind::WriteBlock, Occurrences::only(1)), command(kCmdWriteBlock), 1, 1000 + 100},
    {"BlockResendPause", Worker::Update, refuseOnce(RequestKind::WriteBlock),
     command(kCmdWriteBlock), 1, 100},
    {"UpdateEndWait", Worker::Update, lose(RequestKind::UpdateEnd, Occurrences::every()),
     command(kCmdUpdateEnd), 1, 30000},
    {"CheckIdentityWait", Worker::VersionCheck,
     lose(RequestKind::IdentityRequest, Occurrences::every()), kIdentity, 1, 30000},
    {"CheckSystemReadWait", Worker::VersionCheck,
     lose(RequestKind::MemoryRead, Occurrences::only(1)), command(kCmdMemory), 1, 120000},
    // Passed over; the barrier for its late answer leaves right after.
    {"CheckPresetReadWait", Worker::VersionCheck,
     lose(RequestKind::MemoryRead, Occurrences::only(2)), command(kCmdMemory), 2, 120000},
    {"CheckBootReadWait", Worker::VersionCheck, lose(RequestKind::MemoryRead, Occurrences::only(3)),
     command(kCmdMemory), 3, 120000},
};

class WaitTiming : public ::testing::TestWithParam<TimingCase> {};

TEST_P(WaitTiming, LastsExactlyItsTime) {
    const TimingCase& c = GetParam();
    sim::SimConfig config;
    config.timing = sim::TimingModel::instant();  // every answer leaves at once
    config.stamps.boot = sim::makeStamp("0.90");
    EngineHarness h(config);
    c.arrange(h.world.device().faults());

    if (c.worker == Worker::Update) {
        h.run(runUpdate);
    } else {
        h.run(runVersionCheck);
    }

    const auto sent = h.world.sent();
    int seen = 0;
    for (std::size_t i = 0; i < sent.size(); ++i) {
        if (!c.request(sent[i].bytes) || ++seen < c.nth) continue;
        const std::uint64_t until = i + 1 < sent.size() ? sent[i + 1].atMs : h.world.nowMs();
        EXPECT_EQ(until - sent[i].atMs, c.expectedMs);
        return;
    }
    FAIL() << "the request was not sent " << c.nth << " times";
}

INSTANTIATE_TEST_SUITE_P(Table, WaitTiming, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace pxr9::testing
