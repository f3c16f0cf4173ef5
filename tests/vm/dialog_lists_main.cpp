// The real dialog on the program's own MIDI services, left idle: it prints a line with both
// lists when it opens and each time they have followed a change, for a test to wait on.
// SIGTERM closes it; exit 0 when no box was shown. Usage: vm_dialog_lists [COPY_NUMBER]
#include <signal.h>
#include <unistd.h>

#include <QApplication>
#include <QComboBox>
#include <QSocketNotifier>
#include <cstdio>
#include <cstdlib>

#include "app/message_boxes.h"
#include "app/updater_dialog.h"
#include "platform/system_platform.h"

namespace {

int termPipe[2];

void onTerm(int) {
    const char byte = 1;
    (void)!write(termPipe[1], &byte, 1);
}

class PrintedBoxes final : public pxr9::MessageBoxes {
  public:
    void show(QWidget*, const QString& text, const QString& caption, pxr9::BoxIcon) override {
        std::fprintf(stderr, "box %s: %s\n", qPrintable(caption), qPrintable(text));
        ++shown;
    }
    int shown = 0;
};

QString describe(const QComboBox* list) {
    QStringList items;
    for (int i = 0; i < list->count(); ++i) items << list->itemText(i);
    return QStringLiteral("selected \"%1\" of [%2]")
        .arg(list->currentText(), items.join(QStringLiteral(", ")));
}

void printLists(const char* why, const pxr9::UpdaterDialog& dialog) {
    std::printf("%s: in %s; out %s\n", why, qPrintable(describe(dialog.midiInList())),
                qPrintable(describe(dialog.midiOutList())));
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    const int copy = argc > 1 ? std::atoi(argv[1]) : 1;
    if (pipe(termPipe) != 0) return 2;
    signal(SIGTERM, onTerm);
    QSocketNotifier terminated(termPipe[0], QSocketNotifier::Read);
    QObject::connect(&terminated, &QSocketNotifier::activated, &application, &QApplication::quit);

    PrintedBoxes boxes;
    pxr9::SystemPlatform platform;
    pxr9::UpdaterDialog dialog(platform.platform(), copy, boxes);
    dialog.portLists().setListener([&dialog](pxr9::PortListFollower::Outcome outcome) {
        if (outcome == pxr9::PortListFollower::Outcome::Applied) printLists("followed", dialog);
    });
    dialog.show();
    printLists("opened", dialog);
    application.exec();
    return boxes.shown == 0 ? 0 : 1;
}
