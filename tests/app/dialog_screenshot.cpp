// Shows the real dialog as a user finds it after start-up and saves a picture of it.
// Usage: dialog_screenshot <file.png>   (run under a display, e.g. xvfb-run)
#include <QApplication>
#include <QPixmap>

#include "app/updater_dialog.h"
#include "tests/doubles/fake_platform.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    if (argc != 2) return 2;
    pxr9::testing::FakePlatform fake;
    fake.setNames({"Midi Through Port-0", "KEVO PXR-9"});
    pxr9::QtMessageBoxes boxes;
    pxr9::UpdaterDialog dialog(fake.platform(), 1, boxes);
    dialog.show();
    QApplication::processEvents();
    return dialog.grab().save(QString::fromLocal8Bit(argv[1])) ? 0 : 1;
}
