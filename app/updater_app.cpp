#include "app/updater_app.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <utility>

namespace pxr9 {

UpdaterApp::UpdaterApp(MessageBoxes& boxes, RunDialog runDialog, std::string instanceNameBase)
    : boxes_(boxes),
      runDialog_(std::move(runDialog)),
      instanceNameBase_(std::move(instanceNameBase)) {}

bool UpdaterApp::InitInstance() {
    if (auto numbered = takeInstanceNumber(instanceNameBase_, kMaxInstances)) {
        instanceLock_.emplace(std::move(numbered->lock));
        instanceNumber_ = numbered->number;
        runDialog_(instanceNumber_);
        return false;
    }
    // The executable's name stands as the caption, as there is no window title yet.
    const QString caption = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
    boxes_.show(nullptr, QString::fromStdString(copyLimitText(kMaxInstances)), caption,
                BoxIcon::Warning);
    return false;
}

}  // namespace pxr9
