// A whole update started by a click on "Execute", against the simulated device.
#include <gtest/gtest.h>

#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <atomic>

#include "app/updater_dialog.h"
#include "tests/doubles/fake_platform.h"
#include "tests/doubles/virtual_world.h"
#include "tests/engine/flash_expectations.h"

namespace pxr9::testing {
namespace {

TEST(DialogUpdate, ExecuteWritesTheWholeMemoryMapAndEndsInUpdated) {
    sim::SimConfig config;
    config.stamps.boot = sim::makeStamp("0.90");
    VirtualWorld world(config);
    world.setPorts({"Other", "KEVO PXR-9"}, 1);
    RecordingBoxes boxes;
    UpdaterDialog dialog(world.platform(), 1, boxes);

    dialog.executeButton()->click();
    dialog.joinWorker();
    QCoreApplication::sendPostedEvents();

    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(dialog.stepText()->text(), QStringLiteral("10/10"));
    EXPECT_EQ(dialog.statusText()->text(), QStringLiteral("Version update completed."));
    EXPECT_GT(dialog.progressBar()->maximum(), 0);
    EXPECT_EQ(dialog.progressBar()->value(), dialog.progressBar()->maximum());
    EXPECT_FALSE(dialog.busy());
    EXPECT_FALSE(dialog.executeButton()->isEnabled());
    EXPECT_FALSE(dialog.versionCheckButton()->isEnabled());
    EXPECT_TRUE(dialog.exitButton()->isEnabled());
    EXPECT_TRUE(dialog.rescanButton()->isEnabled());
    EXPECT_EQ(firstFlashMismatch(world.device().flash(), config, true), "");
}

TEST(DialogUpdate, VersionCheckReportsTheDevicesStampsBesideTheCarriedOnes) {
    sim::SimConfig config;
    config.stamps.system = sim::makeStamp("1.00");
    VirtualWorld world(config);
    RecordingBoxes boxes;
    UpdaterDialog dialog(world.platform(), 1, boxes);

    dialog.versionCheckButton()->click();
    dialog.joinWorker();
    QCoreApplication::sendPostedEvents();

    const ShownBox report{QStringLiteral("SYSTEM:\t\t1.00 -> 1.10\nPRESET:\t\t1.00\nBOOT:\t\t1.00"),
                          QStringLiteral("Version Information"), BoxIcon::Information};
    EXPECT_EQ(boxes.shown, std::vector{report});
    EXPECT_FALSE(dialog.state().channel.out.isOpen());
    EXPECT_FALSE(dialog.state().channel.in.isOpen());
    EXPECT_TRUE(dialog.executeButton()->isEnabled());
    EXPECT_FALSE(dialog.busy());
}

TEST(DialogUpdate, AWrongDeviceIsReportedBeforeTheControlsComeBack) {
    sim::SimConfig config;
    config.identity = 0x0010006F;
    VirtualWorld world(config);
    RecordingBoxes boxes;
    UpdaterDialog dialog(world.platform(), 1, boxes);
    bool executeEnabledAtBox = true;
    boxes.onShow = [&] { executeEnabledAtBox = dialog.executeButton()->isEnabled(); };

    dialog.executeButton()->click();
    dialog.joinWorker();
    QCoreApplication::sendPostedEvents();

    const ShownBox illegal{QStringLiteral("Illegal device connected."), QStringLiteral("Error"),
                           BoxIcon::Error};
    EXPECT_EQ(boxes.shown, std::vector{illegal});
    EXPECT_FALSE(executeEnabledAtBox);
    EXPECT_TRUE(dialog.executeButton()->isEnabled());
    EXPECT_TRUE(dialog.exitButton()->isEnabled());
    EXPECT_FALSE(dialog.busy());
}

// A block is not answered; the Identity Request that settles the line before its resend is
// not answered either. Closing the dialog while that barrier waits ends the update there:
// no box, nothing more sent, no waiting out the barrier's 30 s.
TEST(DialogUpdate, ClosingWhileTheLineIsSettledEndsTheUpdateAtOnce) {
    VirtualWorld world(oldBootDevice());
    world.device().faults().noAnswer(sim::RequestKind::WriteBlock, sim::Occurrences::only(1));
    world.device().faults().noAnswer(sim::RequestKind::IdentityRequest, sim::Occurrences::from(2));
    std::atomic<bool> inBarrier{false};
    std::uint64_t barrierSentAt = 0;
    int identityRequests = 0;  // counted on the worker's thread only
    world.whenHostSends(
        [&identityRequests](const std::vector<std::uint8_t>& m) {
            return isIdentityRequest(m) && ++identityRequests == 2;
        },
        [&] {
            // From here the barrier's wait blocks until it is really signalled.
            barrierSentAt = world.nowMs();
            world.holdTimeouts(true);
            inBarrier = true;
        });
    RecordingBoxes boxes;
    UpdaterDialog dialog(world.platform(), 1, boxes);
    dialog.show();

    dialog.executeButton()->click();
    const QDeadlineTimer guard(60000);
    while (!inBarrier.load() && !guard.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    ASSERT_TRUE(inBarrier.load());
    QCloseEvent close;
    QCoreApplication::sendEvent(&dialog, &close);
    dialog.joinWorker();

    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(sentWithCommand(world.sent(), 0x02).size(), 1u);
    EXPECT_EQ(world.nowMs(), barrierSentAt);
}

}  // namespace
}  // namespace pxr9::testing
