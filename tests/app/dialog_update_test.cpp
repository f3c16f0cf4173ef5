// A whole update started by a click on "Execute", against the simulated device.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

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
    EXPECT_EQ(dialog.state().busy.load(), 0);
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
    EXPECT_FALSE(dialog.state().out.isOpen());
    EXPECT_FALSE(dialog.state().in.isOpen());
    EXPECT_TRUE(dialog.executeButton()->isEnabled());
    EXPECT_EQ(dialog.state().busy.load(), 0);
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

    const ShownBox illegal{QStringLiteral("Illegal device connected."), QStringLiteral("Error"),
                           BoxIcon::Error};
    EXPECT_EQ(boxes.shown, std::vector{illegal});
    EXPECT_FALSE(executeEnabledAtBox);
    EXPECT_TRUE(dialog.executeButton()->isEnabled());
    EXPECT_TRUE(dialog.exitButton()->isEnabled());
    EXPECT_EQ(dialog.state().busy.load(), 0);
}

}  // namespace
}  // namespace pxr9::testing
