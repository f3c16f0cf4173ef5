#include <QApplication>

#include "app/message_boxes.h"
#include "app/port_cause_boxes.h"
#include "app/updater_app.h"
#include "app/updater_dialog.h"
#include "platform/system_platform.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    pxr9::QtMessageBoxes boxes;
    pxr9::UpdaterApp app(boxes, [&boxes](int instanceNumber) {
        pxr9::SystemPlatform platform;
        pxr9::PortCauseBoxes causeBoxes(boxes, platform.portNotes());
        pxr9::UpdaterDialog dialog(platform.platform(), instanceNumber, causeBoxes);
        dialog.exec();
    });
    app.InitInstance();
    return 0;
}
