#include <QMenu>
#include <future>
#include <thread>

#include "protocol/dispatcher.h"
#include "tests/app/dialog_fixture.h"

namespace pxr9::testing {
namespace {

TEST_F(DialogTest, StartsIdleWithPortsClosedAndNothingDispatched) {
    auto& dlg = make();
    EXPECT_EQ(observe(dlg), expected(DialogState::Idle));
    EXPECT_EQ(dlg.progressBar()->minimum(), 0);
    EXPECT_EQ(dlg.progressBar()->maximum(), 100);
    EXPECT_EQ(dlg.progressBar()->value(), 0);
    EXPECT_FALSE(dlg.state().channel.in.isOpen());
    EXPECT_FALSE(dlg.state().channel.out.isOpen());
    // With no port open nothing can arrive: an idle dialog does not wake every millisecond.
    EXPECT_FALSE(fake.dispatching());
    EXPECT_FALSE(dlg.windowIcon().isNull());
    EXPECT_TRUE(dlg.statusText()->isReadOnly());
    EXPECT_TRUE(dlg.stepText()->isReadOnly());
}

TEST_F(DialogTest, TitleCarriesTheCopyNumberFromTwoOn) {
    EXPECT_EQ(make(1).windowTitle(), QStringLiteral("KEVO PXR-9 System v1.10 Updater"));
    EXPECT_EQ(make(2).windowTitle(), QStringLiteral("KEVO PXR-9 System v1.10 Updater (2)"));
    EXPECT_EQ(make(20).windowTitle(), QStringLiteral("KEVO PXR-9 System v1.10 Updater (20)"));
}

TEST_F(DialogTest, UpdateSuccessGoesThroughUpdatingToUpdatedAndRescanToIdle) {
    auto& dlg = make();
    dlg.executeButton()->click();
    EXPECT_EQ(observe(dlg), expected(DialogState::Updating));
    EXPECT_EQ(fake.out.opened(), std::vector<int>{1});
    EXPECT_EQ(fake.in.opened(), std::vector<int>{1});

    answer(dlg, 0);
    settle(dlg);
    EXPECT_EQ(observe(dlg), expected(DialogState::Updated));
    EXPECT_EQ(dlg.statusText()->text(), QStringLiteral("Version update completed."));
    EXPECT_EQ(dlg.stepText()->text(), QStringLiteral("10/10"));
    EXPECT_TRUE(boxes.shown.empty());
    // The update leaves its ports open for the next command to reopen.
    EXPECT_TRUE(dlg.state().channel.out.isOpen());

    dlg.rescanButton()->click();
    EXPECT_EQ(observe(dlg), expected(DialogState::Idle));
}

TEST_F(DialogTest, UpdateFailureShowsItsBoxBeforeTheControlsComeBack) {
    auto& dlg = make();
    std::vector<ControlState> atBox;
    boxes.onShow = [&] { atBox.push_back(observe(dlg)); };
    dlg.executeButton()->click();
    answer(dlg, 7);
    settle(dlg);
    EXPECT_EQ(boxes.shown, std::vector{errorBox("Transfer error occurred.")});
    EXPECT_EQ(atBox, std::vector{expected(DialogState::Updating)});
    EXPECT_EQ(observe(dlg), expected(DialogState::Idle));
}

TEST_F(DialogTest, ExecuteWhileBusyShowsInProgressAndChangesNothing) {
    auto& dlg = make();
    dlg.executeButton()->click();
    // The buttons are disabled, so the command arrives only by other ways.
    dlg.OnExecute();
    EXPECT_EQ(dlg.openPorts(), -1);
    EXPECT_EQ(boxes.shown, (std::vector{errorBox("In Progress."), errorBox("In Progress.")}));
    EXPECT_EQ(observe(dlg), expected(DialogState::Updating));
    EXPECT_EQ(fake.out.opened().size(), 1u);
    EXPECT_EQ(fake.in.opened().size(), 1u);
    answer(dlg, 0);
    settle(dlg);
}

struct PortFailureCase {
    const char* name;
    bool outputFails;
    bool versionCheck;
    const char* text;
    bool outputLeftOpen;
    friend void PrintTo(const PortFailureCase& c, std::ostream* os) { *os << c.name; }
};

class PortFailureTest : public DialogTest, public ::testing::WithParamInterface<PortFailureCase> {};

TEST_P(PortFailureTest, ReportsAndStaysIdle) {
    const auto& c = GetParam();
    if (c.outputFails) {
        fake.out.failOpen(1);
    } else {
        fake.in.failOpen(1);
    }
    auto& dlg = make();
    (c.versionCheck ? dlg.versionCheckButton() : dlg.executeButton())->click();
    EXPECT_EQ(boxes.shown, std::vector{errorBox(c.text)});
    EXPECT_EQ(observe(dlg), expected(DialogState::Idle));
    EXPECT_EQ(dlg.state().channel.out.isOpen(), c.outputLeftOpen);
    EXPECT_FALSE(dlg.state().channel.in.isOpen());
    // Started for the command, drained and stopped again: no input port, nothing to dispatch.
    EXPECT_FALSE(fake.dispatching());
}

INSTANTIATE_TEST_SUITE_P(
    Ports, PortFailureTest,
    ::testing::Values(
        PortFailureCase{"ExecuteOut", true, false, "Can't open MIDI Out device.", false},
        PortFailureCase{"ExecuteIn", false, false, "Can't open MIDI In device.", true},
        PortFailureCase{"CheckOut", true, true, "Can't open MIDI Out device.", false},
        PortFailureCase{"CheckIn", false, true, "Can't open MIDI In device.", true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(DialogTest, AfterAFailedInputOpenTheNextCommandReopensTheOutputFirst) {
    fake.in.failOpen(1);
    auto& dlg = make();
    dlg.executeButton()->click();
    fake.in.failOpen(1, false);
    dlg.executeButton()->click();
    EXPECT_EQ(fake.out.closeCount(), 1);
    EXPECT_EQ(fake.out.openCount(), 2);
    EXPECT_EQ(observe(dlg), expected(DialogState::Updating));
    answer(dlg, 0);
    settle(dlg);
}

TEST_F(DialogTest, VersionCheckShowsTheReportBeforeTheControlsComeBack) {
    auto& dlg = make();
    std::vector<ControlState> atBox;
    boxes.onShow = [&] { atBox.push_back(observe(dlg)); };
    dlg.versionCheckButton()->click();
    EXPECT_EQ(observe(dlg), expected(DialogState::CheckingVersions));
    answer(dlg, 0);
    settle(dlg);
    const ShownBox report{QStringLiteral("SYSTEM:\t\t1.00 -> 1.10\nPRESET:\t\t1.00\nBOOT:\t\t1.00"),
                          QStringLiteral("Version Information"), BoxIcon::Information};
    EXPECT_EQ(boxes.shown, std::vector{report});
    EXPECT_EQ(atBox, std::vector{expected(DialogState::CheckingVersions)});
    EXPECT_EQ(observe(dlg), expected(DialogState::Idle));
    EXPECT_FALSE(dlg.state().channel.out.isOpen());
    EXPECT_FALSE(dlg.state().channel.in.isOpen());
}

TEST_F(DialogTest, FailedVersionCheckReturnsToIdleWithoutReport) {
    auto& dlg = make();
    dlg.versionCheckButton()->click();
    answer(dlg, 5);
    settle(dlg);
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(observe(dlg), expected(DialogState::Idle));
}

// Each time "Execute" becomes enabled: whether a port was still open, and a click on it
// right then, as a user quick on the mouse would make.
class ExecuteWhenEnabled final : public QObject {
  public:
    explicit ExecuteWhenEnabled(UpdaterDialog& dlg) : dlg_(dlg) {
        dlg.executeButton()->installEventFilter(this);
    }
    std::vector<bool> portOpen;

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::EnabledChange && dlg_.executeButton()->isEnabled()) {
            portOpen.push_back(dlg_.state().channel.out.isOpen() ||
                               dlg_.state().channel.in.isOpen());
            QMetaObject::invokeMethod(dlg_.executeButton(), &QPushButton::click,
                                      Qt::QueuedConnection);
        }
        return false;
    }

  private:
    UpdaterDialog& dlg_;
};

// After "Illegal device connected." the version check still has both ports to close. Controls
// enabled before that would let "Execute" open ports that the ending check then closes, and
// the check's completion would enable every control in the middle of the new update.
TEST_F(DialogTest, AFailedIdentityCheckGivesTheControlsBackOnlyOnceItHasEnded) {
    auto& dlg = makeWithEngine();
    ExecuteWhenEnabled user(dlg);
    dlg.versionCheckButton()->click();
    fake.out.waitForSends(1);  // the Identity Request has left
    answer(dlg, 3);            // a status instead of an Identity Reply
    settle(dlg);
    QCoreApplication::sendPostedEvents();  // the click

    EXPECT_EQ(boxes.shown, std::vector{errorBox("Illegal device connected.")});
    EXPECT_EQ(user.portOpen, std::vector<bool>{false});
    // The click started an update that nothing of the old check disturbs.
    EXPECT_EQ(observe(dlg), expected(DialogState::Updating));
    EXPECT_TRUE(dlg.state().channel.out.isOpen());
    EXPECT_TRUE(dlg.state().channel.in.isOpen());
    EXPECT_EQ(fake.out.openCount(), 2);
}

TEST_F(DialogTest, ProgressPositionOutsideTheRangeIsPinnedToItsEnd) {
    auto& dlg = make();
    dlg.setProgressRange(0, 10);
    dlg.setProgressPosition(4);
    EXPECT_EQ(dlg.progressBar()->value(), 4);
    dlg.setProgressPosition(11);
    EXPECT_EQ(dlg.progressBar()->value(), 10);
    dlg.setProgressPosition(-3);
    EXPECT_EQ(dlg.progressBar()->value(), 0);
}

// The controls come back from the procedure's outcome, once it has ended: a procedure still
// running after its last surface call keeps the dialog busy, and a command meanwhile is
// refused.
TEST_F(DialogTest, TheDialogIsHandedBackOnlyOnceTheProcedureHasEnded) {
    std::promise<void> go;
    std::shared_future<void> goSignal = go.get_future().share();
    std::atomic<bool> reported{false};
    DialogProcedures procedures{[&](UpdaterState& s) {
                                    s.surface.setStatusText("Version update completed.");
                                    reported = true;
                                    goSignal.wait();
                                    return ProcedureOutcome::completed();
                                },
                                nullptr};
    dialog = std::make_unique<UpdaterDialog>(fake.platform(), 1, boxes, procedures);
    auto& dlg = *dialog;
    dlg.executeButton()->click();
    // Serves the status call, then whatever else is posted.
    while (!reported.load()) {
        QCoreApplication::sendPostedEvents();
        std::this_thread::yield();
    }
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(observe(dlg), expected(DialogState::Updating));
    dlg.OnExecute();
    EXPECT_EQ(boxes.shown, std::vector{errorBox("In Progress.")});

    go.set_value();
    settle(dlg);
    EXPECT_EQ(observe(dlg), expected(DialogState::Updated));
    EXPECT_EQ(dlg.statusText()->text(), QStringLiteral("Version update completed."));
}

}  // namespace
}  // namespace pxr9::testing
