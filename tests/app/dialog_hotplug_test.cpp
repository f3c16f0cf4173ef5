// The dialog's lists following devices as they come and go, told by a fake port watch on its
// own thread; each test waits for the GUI thread to say what it made of the word.
#include <QEventLoop>
#include <QStandardItemModel>
#include <QTimer>

#include "tests/app/dialog_fixture.h"

namespace pxr9::testing {
namespace {

using Outcome = PortListFollower::Outcome;

QStringList items(QComboBox* list) {
    QStringList texts;
    for (int i = 0; i < list->count(); ++i) texts << list->itemText(i);
    return texts;
}

bool itemEnabled(QComboBox* list, int index) {
    auto* model = qobject_cast<QStandardItemModel*>(list->model());
    return model && model->item(index)->isEnabled();
}

class HotplugTest : public DialogTest {
  protected:
    // Runs `trigger`, then returns what the dialog next made of a word of the watch.
    Outcome afterwards(const std::function<void()>& trigger) {
        std::optional<Outcome> outcome;
        QEventLoop loop;
        dialog->portLists().setListener([&](Outcome o) {
            if (!outcome) outcome = o;
            loop.quit();
        });
        QTimer guard;
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, &loop, &QEventLoop::quit);
        guard.start(static_cast<int>(kGuardMs));
        trigger();
        if (!outcome) loop.exec();
        dialog->portLists().setListener(nullptr);
        EXPECT_TRUE(outcome.has_value()) << "the word never reached the GUI thread";
        return outcome.value_or(Outcome::Held);
    }
    // The devices change and the watch says so.
    Outcome plug(const std::vector<std::string>& names) {
        fake.setNames(names);
        return afterwards([this] { fake.portWatch.announce(); });
    }
};

TEST_F(HotplugTest, ADeviceThatComesWhileNothingIsSelectedIsSelectedByTheCopysRule) {
    struct Case {
        const char* what;
        int instance;
        std::vector<std::string> after;
        int selected;
    };
    const Case cases[] = {
        {"the copy's own device", 1, {"Other", "KEVO PXR-9"}, 1},
        {"copy 2's own device", 2, {"KEVO PXR-9 (2)", "Other"}, 0},
        {"another copy's device", 2, {"Other", "KEVO PXR-9"}, -1},
        {"a device of no copy", 1, {"Other", "Synth"}, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fake.setNames({"Other"});
        auto& dlg = make(c.instance);
        ASSERT_EQ(dlg.midiOutList()->currentIndex(), -1);
        ASSERT_EQ(plug(c.after), Outcome::Applied);
        EXPECT_EQ(dlg.midiOutList()->count(), static_cast<int>(c.after.size()));
        EXPECT_EQ(dlg.midiOutList()->currentIndex(), c.selected);
        EXPECT_EQ(dlg.midiInList()->currentIndex(), c.selected);
        dialog.reset();
    }
}

TEST_F(HotplugTest, TheSelectionStaysWithItsDeviceWhenOthersComeAndGo) {
    fake.setNames({"Other", "KEVO PXR-9"});
    auto& dlg = make();
    // A hand-made choice in one list, the pre-selection in the other.
    dlg.midiOutList()->setCurrentIndex(0);

    ASSERT_EQ(plug({"Synth", "Other", "Synth", "KEVO PXR-9"}), Outcome::Applied);
    EXPECT_EQ(items(dlg.midiOutList()), (QStringList{"Synth", "Other", "Synth", "KEVO PXR-9"}));
    EXPECT_EQ(dlg.midiOutList()->currentIndex(), 1);
    EXPECT_EQ(dlg.midiInList()->currentIndex(), 3);

    ASSERT_EQ(plug({"Other", "Synth", "KEVO PXR-9"}), Outcome::Applied);
    EXPECT_EQ(dlg.midiOutList()->currentIndex(), 0);
    EXPECT_EQ(dlg.midiInList()->currentIndex(), 2);

    // The item number is still the device number handed to the ports.
    dlg.executeButton()->click();
    EXPECT_EQ(fake.out.opened(), std::vector<int>{0});
    EXPECT_EQ(fake.in.opened(), std::vector<int>{2});
    answer(dlg, 0);
    settle(dlg);
}

TEST_F(HotplugTest, ASelectedDeviceThatGoesIsShownGoneOpensNothingAndIsTakenBackWhenItReturns) {
    fake.setNames({"Other", "KEVO PXR-9"});
    auto& dlg = make();
    ASSERT_EQ(dlg.midiOutList()->currentIndex(), 1);

    ASSERT_EQ(plug({"Other"}), Outcome::Applied);
    for (QComboBox* list : {dlg.midiOutList(), dlg.midiInList()}) {
        EXPECT_EQ(items(list), (QStringList{"Other", "KEVO PXR-9 (disconnected)"}));
        EXPECT_EQ(list->currentIndex(), 1);
        EXPECT_FALSE(itemEnabled(list, 1)) << "the gone device cannot be chosen again";
    }

    // Another device where the gone one was: Execute still opens nothing in its place.
    ASSERT_EQ(plug({"Other", "Synth"}), Outcome::Applied);
    EXPECT_EQ(items(dlg.midiOutList()),
              (QStringList{"Other", "Synth", "KEVO PXR-9 (disconnected)"}));
    EXPECT_EQ(dlg.midiOutList()->currentIndex(), 2);
    dlg.executeButton()->click();
    EXPECT_TRUE(fake.out.opened().empty());
    EXPECT_TRUE(fake.in.opened().empty());
    EXPECT_EQ(boxes.shown, std::vector{errorBox("Can't open MIDI Out device.")});
    EXPECT_EQ(observe(dlg), expected(DialogState::Idle));

    // Back, wherever it is now: selected again, and the marker is gone.
    ASSERT_EQ(plug({"Synth", "KEVO PXR-9", "Other"}), Outcome::Applied);
    EXPECT_EQ(items(dlg.midiOutList()), (QStringList{"Synth", "KEVO PXR-9", "Other"}));
    EXPECT_EQ(dlg.midiOutList()->currentIndex(), 1);
    EXPECT_EQ(dlg.midiInList()->currentIndex(), 1);
}

TEST_F(HotplugTest, AnotherChoiceOrARescanEndsTheGoneItem) {
    fake.setNames({"Other", "KEVO PXR-9"});
    auto& dlg = make();
    ASSERT_EQ(plug({"Other", "Synth"}), Outcome::Applied);
    ASSERT_EQ(dlg.midiOutList()->currentIndex(), 2);

    // A choice of the user's replaces it at the next change.
    dlg.midiOutList()->setCurrentIndex(1);
    ASSERT_EQ(plug({"Piano", "Other", "Synth"}), Outcome::Applied);
    EXPECT_EQ(items(dlg.midiOutList()), (QStringList{"Piano", "Other", "Synth"}));
    EXPECT_EQ(dlg.midiOutList()->currentIndex(), 2);
    EXPECT_EQ(items(dlg.midiInList()),
              (QStringList{"Piano", "Other", "Synth", "KEVO PXR-9 (disconnected)"}));

    // "Rescan Device" selects as at the start: nothing of the copy's is there.
    dlg.rescanButton()->click();
    EXPECT_EQ(items(dlg.midiInList()), (QStringList{"Piano", "Other", "Synth"}));
    EXPECT_EQ(dlg.midiInList()->currentIndex(), -1);
    EXPECT_EQ(dlg.midiOutList()->currentIndex(), -1);
}

TEST_F(HotplugTest, NothingChangesWhileAnOperationRunsAndTheLatestStateComesAfter) {
    struct Case {
        const char* what;
        std::function<void(UpdaterDialog&)> begin;
    };
    const Case cases[] = {
        {"update", [](UpdaterDialog& d) { d.executeButton()->click(); }},
        {"version check", [](UpdaterDialog& d) { d.versionCheckButton()->click(); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fake.setNames({"Other", "KEVO PXR-9"});
        auto& dlg = make();
        c.begin(dlg);
        ASSERT_FALSE(dlg.midiOutList()->isEnabled());

        EXPECT_EQ(plug({"KEVO PXR-9"}), Outcome::Held);
        EXPECT_EQ(plug({"Synth", "Other"}), Outcome::Held);
        EXPECT_EQ(items(dlg.midiOutList()), (QStringList{"Other", "KEVO PXR-9"}));
        EXPECT_EQ(dlg.midiOutList()->currentIndex(), 1);
        EXPECT_EQ(items(dlg.midiInList()), (QStringList{"Other", "KEVO PXR-9"}));

        // The operation ends: the state of the last word, once.
        EXPECT_EQ(afterwards([&] {
                      answer(dlg, 0);
                      settle(dlg);
                  }),
                  Outcome::Applied);
        for (QComboBox* list : {dlg.midiOutList(), dlg.midiInList()}) {
            EXPECT_EQ(items(list), (QStringList{"Synth", "Other", "KEVO PXR-9 (disconnected)"}));
            EXPECT_EQ(list->currentIndex(), 2);
        }
        dialog.reset();
        boxes.shown.clear();
    }
}

TEST_F(HotplugTest, TheWatchRunsForTheDialogsLifeAndAWordAtItsEndIsDropped) {
    auto& dlg = make();
    EXPECT_TRUE(fake.portWatch.running());
    (void)dlg;
    // A word still on its way as the dialog goes reaches nothing.
    fake.setNames({});
    fake.portWatch.announce();
    dialog.reset();
    EXPECT_FALSE(fake.portWatch.running());
    QCoreApplication::sendPostedEvents();
}

}  // namespace
}  // namespace pxr9::testing
