#pragma once

#include <functional>
#include <optional>
#include <string>

#include "app/message_boxes.h"
#include "platform/instance_lock.h"

namespace pxr9 {

// Start-up: numbers this copy, then runs the main dialog for its whole life. A copy that
// finds every number taken shows the refusal box and runs no dialog.
class UpdaterApp {
  public:
    // Builds and runs the main dialog of copy n modally.
    using RunDialog = std::function<void(int instanceNumber)>;

    UpdaterApp(MessageBoxes& boxes, RunDialog runDialog,
               std::string instanceNameBase = kUpdaterTitle);

    // The whole life of the copy; always false, as there is nothing to run afterwards.
    bool InitInstance();

    // 1..20 once numbered, else 0.
    int instanceNumber() const { return instanceNumber_; }

  private:
    MessageBoxes& boxes_;
    RunDialog runDialog_;
    std::string instanceNameBase_;
    // Held until the copy ends; the system frees it with the process in any case.
    std::optional<InstanceLock> instanceLock_;
    int instanceNumber_ = 0;
};

}  // namespace pxr9
