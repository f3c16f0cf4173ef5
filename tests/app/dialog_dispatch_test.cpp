#include "tests/app/dialog_fixture.h"

namespace pxr9::testing {
namespace {

// Replies are dispatched from the opening of the ports for an operation until they are
// closed.
class VersionCheckDispatchTest : public DialogTest, public ::testing::WithParamInterface<int> {};

TEST_P(VersionCheckDispatchTest, DispatchesUntilTheWorkerHasClosedThePorts) {
    auto& dlg = make();
    dlg.versionCheckButton()->click();
    EXPECT_TRUE(fake.dispatching());
    answer(dlg, GetParam());
    settle(dlg);
    EXPECT_FALSE(dlg.state().channel.in.isOpen());
    EXPECT_FALSE(fake.dispatching());
    EXPECT_EQ(observe(dlg), expected(DialogState::Idle));
}

INSTANTIATE_TEST_SUITE_P(Verdicts, VersionCheckDispatchTest, ::testing::Values(0, 5),
                         [](const auto& info) {
                             return std::string(info.param == 0 ? "Report" : "Failure");
                         });

// An update leaves its ports open, so the device can still be answered: dispatching goes on
// until a later command closes the input port.
TEST_F(DialogTest, AfterAnUpdateRepliesAreDispatchedUntilTheInputPortCloses) {
    auto& dlg = make();
    dlg.executeButton()->click();
    EXPECT_TRUE(fake.dispatching());
    answer(dlg, 0);
    settle(dlg);
    EXPECT_EQ(observe(dlg), expected(DialogState::Updated));
    EXPECT_TRUE(fake.dispatching());

    // An output that fails to open leaves the input port of the update open.
    dlg.rescanButton()->click();
    fake.out.failOpen(1);
    dlg.executeButton()->click();
    EXPECT_TRUE(dlg.state().channel.in.isOpen());
    EXPECT_TRUE(fake.dispatching());

    // A version check reopens both and closes them: only then does dispatching rest.
    fake.out.failOpen(1, false);
    dlg.versionCheckButton()->click();
    EXPECT_TRUE(fake.dispatching());
    answer(dlg, 0);
    settle(dlg);
    EXPECT_FALSE(fake.dispatching());
}

}  // namespace
}  // namespace pxr9::testing
