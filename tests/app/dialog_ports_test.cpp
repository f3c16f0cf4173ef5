#include "tests/app/dialog_fixture.h"

namespace pxr9::testing {
namespace {

QStringList items(QComboBox* list) {
    QStringList texts;
    for (int i = 0; i < list->count(); ++i) texts << list->itemText(i);
    return texts;
}

TEST_F(DialogTest, ListsHoldEveryDeviceInOrderAndSelectTheDevicesPorts) {
    fake.in.setNames({"KEVO PXR-9", "", "Other"});
    fake.out.setNames({"Synth", "", "KEVO PXR-9 MIDI", "Other"});
    auto& dlg = make();
    EXPECT_EQ(items(dlg.midiInList()), (QStringList{"KEVO PXR-9", "", "Other"}));
    EXPECT_EQ(items(dlg.midiOutList()), (QStringList{"Synth", "", "KEVO PXR-9 MIDI", "Other"}));
    EXPECT_EQ(dlg.midiInList()->currentIndex(), 0);
    EXPECT_EQ(dlg.midiOutList()->currentIndex(), 2);

    // The item number is the device number handed to the ports.
    dlg.executeButton()->click();
    EXPECT_EQ(fake.in.opened(), std::vector<int>{0});
    EXPECT_EQ(fake.out.opened(), std::vector<int>{2});
    answer(dlg, 0);
    settle(dlg);
}

TEST_F(DialogTest, SecondCopyTakesOnlyTheNumberedPorts) {
    fake.setNames({"KEVO PXR-9 (2)", "KEVO PXR-9", "KEVO PXR-9 (3)"});
    auto& dlg = make(2);
    EXPECT_EQ(dlg.midiInList()->currentIndex(), 0);
    EXPECT_EQ(dlg.midiOutList()->currentIndex(), 0);
}

TEST_F(DialogTest, UnicodeNameOfTheFirstPortIsShownAndSelected) {
    fake.setNames({"Other", "USB \u30aa\u30fc\u30c7\u30a3\u30aa \u30c7\u30d0\u30a4\u30b9"});
    auto& dlg = make();
    EXPECT_EQ(dlg.midiOutList()->currentIndex(), 1);
    EXPECT_EQ(dlg.midiOutList()->itemText(1),
              QStringLiteral("USB \u30aa\u30fc\u30c7\u30a3\u30aa \u30c7\u30d0\u30a4\u30b9"));
}

TEST_F(DialogTest, RescanReplacesAHandMadeChoice) {
    fake.setNames({"KEVO PXR-9", "Other"});
    auto& dlg = make();
    dlg.midiOutList()->setCurrentIndex(1);
    dlg.midiInList()->setCurrentIndex(1);
    dlg.rescanButton()->click();
    EXPECT_EQ(dlg.midiOutList()->currentIndex(), 0);
    EXPECT_EQ(dlg.midiInList()->currentIndex(), 0);

    // With the device gone, the rescan leaves no selection at all.
    fake.setNames({"Other", "Another"});
    dlg.midiOutList()->setCurrentIndex(1);
    dlg.rescanButton()->click();
    EXPECT_EQ(items(dlg.midiOutList()), (QStringList{"Other", "Another"}));
    EXPECT_EQ(dlg.midiOutList()->currentIndex(), -1);
    EXPECT_EQ(dlg.midiInList()->currentIndex(), -1);
}

TEST_F(DialogTest, WithoutDevicesExecuteOpensNothingAndReportsTheOutput) {
    fake.setNames({});
    auto& dlg = make();
    EXPECT_EQ(dlg.midiOutList()->count(), 0);
    EXPECT_EQ(dlg.midiOutList()->currentIndex(), -1);
    dlg.executeButton()->click();
    // No choice (-1) names no port: nothing reaches the MIDI system.
    EXPECT_TRUE(fake.out.opened().empty());
    EXPECT_EQ(boxes.shown, std::vector{errorBox("Can't open MIDI Out device.")});
    EXPECT_EQ(observe(dlg), expected(DialogState::Idle));
}

TEST_F(DialogTest, RescanLeavesOpenPortsAlone) {
    auto& dlg = make();
    dlg.executeButton()->click();
    answer(dlg, 0);
    settle(dlg);
    const int closes = fake.out.closeCount() + fake.in.closeCount();
    dlg.rescanButton()->click();
    EXPECT_TRUE(dlg.state().channel.out.isOpen());
    EXPECT_TRUE(dlg.state().channel.in.isOpen());
    EXPECT_EQ(fake.out.closeCount() + fake.in.closeCount(), closes);
}

}  // namespace
}  // namespace pxr9::testing
