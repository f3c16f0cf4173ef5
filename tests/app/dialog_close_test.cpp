#include <QCloseEvent>
#include <thread>

#include "tests/app/dialog_fixture.h"

namespace pxr9::testing {
namespace {

// Closing the window as the window manager does.
void closeWindow(UpdaterDialog& dlg) {
    QCloseEvent event;
    QCoreApplication::sendEvent(&dlg, &event);
}

// The abort path: ports closed, the abort requested, worker released and joined, and whatever the
// worker still tries afterwards reaches no widget and no box.
TEST_F(DialogTest, ClosingDuringAnUpdateWaitAbortsTheWorkerSilently) {
    scripted.afterAbort = [](UpdaterState& s) {
        s.surface.setStatusText("after close");
        s.surface.showError("Time out error(1)");
    };
    auto& dlg = make();
    dlg.executeButton()->click();
    closeWindow(dlg);
    EXPECT_TRUE(scripted.sawAbort.load());
    EXPECT_TRUE(dlg.state().abortRequested.load());
    EXPECT_FALSE(dlg.state().channel.out.isOpen());
    EXPECT_FALSE(dlg.state().channel.in.isOpen());
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_TRUE(dlg.statusText()->text().isEmpty());
    EXPECT_FALSE(dlg.isVisible());
    // Replies are dispatched until the dialog itself goes.
    EXPECT_TRUE(fake.dispatching());
    dialog.reset();
    EXPECT_FALSE(fake.dispatching());
}

TEST_F(DialogTest, ExitDuringAVersionCheckEndsItWithoutReport) {
    scripted.afterAbort = [](UpdaterState& s) { s.surface.showVersionReport("late"); };
    auto& dlg = make();
    dlg.versionCheckButton()->click();
    dlg.exitButton()->click();
    QCoreApplication::sendPostedEvents();
    EXPECT_TRUE(scripted.sawAbort.load());
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(DialogTest, ClosingWhileASurfaceCallIsPendingReleasesTheWorker) {
    std::atomic<bool> returned{false};
    scripted.afterAbort = nullptr;
    DialogProcedures procedures{[&](UpdaterState& s) {
                                    s.surface.showError("Illegal device connected.");
                                    returned = true;
                                    return ProcedureOutcome::failed(FailureKind::WrongDevice,
                                                                    "Illegal device connected.");
                                },
                                nullptr};
    dialog = std::make_unique<UpdaterDialog>(fake.platform(), 1, boxes, procedures);
    auto& dlg = *dialog;
    dlg.show();
    dlg.executeButton()->click();
    // The GUI thread serves nothing until the call is queued, then closes instead.
    while (!dlg.workerHost().hasPendingCall()) std::this_thread::yield();
    closeWindow(dlg);
    EXPECT_TRUE(returned.load());
    EXPECT_TRUE(boxes.shown.empty());
    QCoreApplication::sendPostedEvents();
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(DialogTest, EscapeIsRefusedWhileExitIsDisabledButTheWindowStillCloses) {
    auto& dlg = make();
    dlg.executeButton()->click();
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QCoreApplication::sendEvent(&dlg, &escape);
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_EQ(observe(dlg), expected(DialogState::Updating));
    closeWindow(dlg);
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_TRUE(scripted.sawAbort.load());
}

// The engine's own workers against a device that never answers: every kind of wait ends at
// once when the window closes, with no box.
struct EngineWaitCase {
    const char* name;
    bool versionCheck;
    friend void PrintTo(const EngineWaitCase& c, std::ostream* os) { *os << c.name; }
};

class EngineCloseTest : public DialogTest, public ::testing::WithParamInterface<EngineWaitCase> {};

TEST_P(EngineCloseTest, ClosingEndsTheWaitWithoutAMessage) {
    auto& dlg = makeWithEngine();
    (GetParam().versionCheck ? dlg.versionCheckButton() : dlg.executeButton())->click();
    closeWindow(dlg);
    QCoreApplication::sendPostedEvents();
    EXPECT_TRUE(boxes.shown.empty());
    dialog.reset();
    EXPECT_FALSE(fake.dispatching());
}

// A device that stopped taking bytes holds the worker inside its send; closing the window
// must still return, cutting the send short instead of waiting for it.
TEST_P(EngineCloseTest, ClosingNeverWaitsOnAStuckSend) {
    fake.out.setSend(testing::FakeOutputBackend::Send::Stuck);
    auto& dlg = makeWithEngine();
    (GetParam().versionCheck ? dlg.versionCheckButton() : dlg.executeButton())->click();
    // Serves the worker's surface calls until its send is stuck.
    while (!fake.out.hasStuckSend()) {
        QCoreApplication::sendPostedEvents();
        std::this_thread::yield();
    }

    closeWindow(dlg);

    EXPECT_FALSE(dlg.isVisible());
    EXPECT_GE(fake.out.cancels(), 1);
    QCoreApplication::sendPostedEvents();
    EXPECT_TRUE(boxes.shown.empty());
    dialog.reset();
    EXPECT_FALSE(fake.dispatching());
}

INSTANTIATE_TEST_SUITE_P(Engine, EngineCloseTest,
                         ::testing::Values(EngineWaitCase{"Update", false},
                                           EngineWaitCase{"VersionCheck", true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(DialogTest, DestroyingWithoutClosingStillReleasesTheWorker) {
    auto& dlg = make();
    dlg.executeButton()->click();
    dialog.reset();
    EXPECT_TRUE(scripted.sawAbort.load());
    EXPECT_FALSE(fake.dispatching());
}

}  // namespace
}  // namespace pxr9::testing
