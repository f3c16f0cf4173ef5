#include <QApplication>
#include <QMenu>
#include <QTimer>

#include "app/about_dialog.h"
#include "tests/app/dialog_fixture.h"

namespace pxr9::testing {
namespace {

struct AboutSeen {
    QString caption;
    QString title;
    bool readOnly = false;
    QString ok;
};

// Opens the About box through `open` and reads it while it runs modally, then closes it.
AboutSeen runAbout(const std::function<void()>& open,
                   const std::function<void()>& whileOpen = nullptr) {
    AboutSeen seen;
    QTimer::singleShot(0, [&] {
        auto* about = dynamic_cast<AboutDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(about, nullptr);
        seen = {about->windowTitle(), about->aboutTitle()->text(),
                about->aboutTitle()->isReadOnly(), about->okButton()->text()};
        if (whileOpen) whileOpen();
        about->okButton()->click();
    });
    open();
    return seen;
}

TEST_F(DialogTest, AboutItemEndsTheMenuAndOpensTheBoxForEveryCopy) {
    auto& dlg = make(2);
    const auto actions = dlg.systemMenu()->actions();
    ASSERT_EQ(actions.size(), 2);
    EXPECT_TRUE(actions[0]->isSeparator());
    EXPECT_EQ(actions[1]->text(), QStringLiteral("About KEVO RN Series Updater(&A)..."));

    const auto seen = runAbout([&] { actions[1]->trigger(); });
    EXPECT_EQ(seen.caption, QStringLiteral("About KEVO RN Series Updater"));
    EXPECT_EQ(seen.title, QStringLiteral("KEVO PXR-9 System v1.10 Updater"));
    EXPECT_TRUE(seen.readOnly);
    EXPECT_EQ(seen.ok, QStringLiteral("OK"));
}

TEST_F(DialogTest, AnyCommandIdOfTheAboutGroupOpensTheBoxAndOthersDoNot) {
    auto& dlg = make();
    EXPECT_EQ(runAbout([&] { dlg.OnSysCommand(0x1F); }).title,
              QStringLiteral("KEVO PXR-9 System v1.10 Updater"));
    dlg.OnSysCommand(0x20);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(DialogTest, WorkerGoesOnWhileTheAboutBoxIsOpen) {
    auto& dlg = make();
    dlg.executeButton()->click();
    ControlState whileOpen{};
    runAbout([&] { dlg.OnSysCommand(kAboutCommand); },
             [&] {
                 answer(dlg, 0);
                 settle(dlg);
                 whileOpen = observe(dlg);
             });
    EXPECT_EQ(whileOpen, expected(DialogState::Updated));
    EXPECT_EQ(dlg.statusText()->text(), QStringLiteral("Version update completed."));
}

}  // namespace
}  // namespace pxr9::testing
