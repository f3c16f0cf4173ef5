// The real dialog on the program's own MIDI services (a JACK server here), clicked through an
// update of the device whose ports it pre-selects. Exit 0 when it ends in the Updated state
// with no box shown.
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <cstdio>

#include "app/message_boxes.h"
#include "app/updater_dialog.h"
#include "platform/system_platform.h"

namespace {

class PrintedBoxes final : public pxr9::MessageBoxes {
  public:
    void show(QWidget*, const QString& text, const QString& caption, pxr9::BoxIcon) override {
        std::fprintf(stderr, "box %s: %s\n", qPrintable(caption), qPrintable(text));
        ++shown;
    }
    int shown = 0;
};

}  // namespace

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    PrintedBoxes boxes;
    pxr9::SystemPlatform platform;
    pxr9::UpdaterDialog dialog(platform.platform(), 1, boxes);
    dialog.show();
    std::printf("selected: in \"%s\", out \"%s\"\n", qPrintable(dialog.midiInList()->currentText()),
                qPrintable(dialog.midiOutList()->currentText()));

    QTimer::singleShot(0, [&] { dialog.executeButton()->click(); });
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (boxes.shown > 0) application.exit(1);
        if (!dialog.busy() && dialog.exitButton()->isEnabled()) {
            application.exit(dialog.statusText()->text() == "Version update completed." ? 0 : 1);
        }
    });
    poll.start(50);
    // Only a guard against a hang; a working update ends long before.
    QTimer::singleShot(300000, [&] { application.exit(2); });

    const int result = application.exec();
    std::printf("step \"%s\", status \"%s\", result %d\n", qPrintable(dialog.stepText()->text()),
                qPrintable(dialog.statusText()->text()), result);
    return result;
}
