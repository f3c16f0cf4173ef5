// A whole update started by a click on "Execute", against the simulated device.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

#include "app/updater_dialog.h"
#include "tests/app/fake_platform.h"
#include "tests/engine/flash_expectations.h"
#include "tests/harness/virtual_world.h"

namespace pxr9::testing {
namespace {

TEST(DialogUpdate, ExecuteWritesTheWholeMemoryMapAndEndsInUpdated) {
    sim::SimConfig config;
    config.stamps.boot = sim::makeStamp("0.90");
    VirtualWorld world(config);
    world.setPorts({"Other", "KEVO PXR-9"}, 1);
    RecordingBoxes boxes;
    CP7xUpdatorDlg dialog(world.platform(), 1, boxes);

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
    VirtualWorld world;
    RecordingBoxes boxes;
    CP7xUpdatorDlg dialog(world.platform(), 1, boxes);

    dialog.versionCheckButton()->click();
    dialog.joinWorker();
    QCoreApplication::sendPostedEvents();

    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].caption, QStringLiteral("Version Information"));
    EXPECT_EQ(boxes.shown[0].icon, BoxIcon::Information);
    EXPECT_TRUE(boxes.shown[0].text.startsWith(QStringLiteral("SYSTEM:\t\t")));
    EXPECT_TRUE(dialog.executeButton()->isEnabled());
    EXPECT_EQ(dialog.state().busy.load(), 0);
}

}  // namespace
}  // namespace pxr9::testing
