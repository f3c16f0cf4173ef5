#include "protocol/dispatcher.h"
#include "tests/app/dialog_fixture.h"

namespace pxr9::testing {
namespace {

// The poll timer runs from the opening of the ports for an operation until they are closed,
// and always dispatches on the link of this dialog's own state.
void expectPolling(UpdaterDialog& dlg, const test::FakeTimerPlatform& timer) {
    EXPECT_TRUE(timer.running());
    const auto event = timer.lastEvent();
    EXPECT_EQ(event.callback, &onPollTimer);
    EXPECT_EQ(event.userData, reinterpret_cast<std::uintptr_t>(&dlg.state().link));
    EXPECT_EQ(event.delayMs, 1u);
}

class VersionCheckPollingTest : public DialogTest, public ::testing::WithParamInterface<int> {};

TEST_P(VersionCheckPollingTest, PollsUntilTheWorkerHasClosedThePorts) {
    auto& dlg = make();
    dlg.versionCheckButton()->click();
    expectPolling(dlg, fake.timer);
    answer(dlg, GetParam());
    settle(dlg);
    EXPECT_FALSE(dlg.state().in.isOpen());
    // What arrived before the close is still dispatched by a last tick, then the timer rests.
    EXPECT_EQ(fake.timer.count(test::TimerOp::FlushEvent), 1u);
    EXPECT_FALSE(fake.timer.running());
    EXPECT_EQ(observe(dlg), expected(DialogState::Idle));
}

INSTANTIATE_TEST_SUITE_P(Verdicts, VersionCheckPollingTest, ::testing::Values(0, 5),
                         [](const auto& info) {
                             return std::string(info.param == 0 ? "Report" : "Failure");
                         });

// An update leaves its ports open, so the device can still be answered: the timer keeps
// running until a later command closes the input port.
TEST_F(DialogTest, AfterAnUpdateThePollTimerRunsUntilTheInputPortCloses) {
    auto& dlg = make();
    dlg.executeButton()->click();
    expectPolling(dlg, fake.timer);
    answer(dlg, 0);
    settle(dlg);
    EXPECT_EQ(observe(dlg), expected(DialogState::Updated));
    EXPECT_TRUE(fake.timer.running());

    // An output that fails to open leaves the input port of the update open.
    dlg.rescanButton()->click();
    fake.out.devices.failingOpens = {1};
    dlg.executeButton()->click();
    EXPECT_TRUE(dlg.state().in.isOpen());
    EXPECT_TRUE(fake.timer.running());
    EXPECT_EQ(fake.timer.count(test::TimerOp::FlushEvent), 0u);

    // A version check reopens both and closes them: only then does the timer rest.
    fake.out.devices.failingOpens.clear();
    dlg.versionCheckButton()->click();
    EXPECT_EQ(fake.timer.count(test::TimerOp::SetEvent), 1u);
    answer(dlg, 0);
    settle(dlg);
    EXPECT_FALSE(fake.timer.running());
    EXPECT_EQ(fake.timer.count(test::TimerOp::FlushEvent), 1u);
}

}  // namespace
}  // namespace pxr9::testing
