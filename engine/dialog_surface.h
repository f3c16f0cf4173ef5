#pragma once

#include <cstdint>
#include <string>

namespace pxr9 {

// What the workers report through. Every call has taken effect before it returns; a modal
// box returns when the user has dismissed it.
class DialogSurface {
  public:
    virtual ~DialogSurface() = default;
    virtual void setStatusText(const std::string& text) = 0;
    virtual void setStepText(const std::string& text) = 0;
    virtual void setProgressRange(std::int32_t lower, std::int32_t upper) = 0;
    virtual void setProgressPosition(std::int32_t position) = 0;
    // Modal box with caption "Error" and the error icon; `cause`, when not empty, is what the
    // updater knows of why, shown under the text.
    virtual void showError(const std::string& text, const std::string& cause) = 0;
    void showError(const std::string& text) { showError(text, {}); }
    // Modal box with caption "Version Information" and the information icon.
    virtual void showVersionReport(const std::string& text) = 0;
    // Enables the port lists, "Version Check", "Execute", "Exit" and "Rescan Device".
    virtual void releaseControls() = 0;
    // Sets the enabled state of "Execute" and then "Version Check".
    virtual void enableStartButtons(bool enable) = 0;
    // The version check's completion: 0 success, -1 failure; handled on the dialog's thread.
    virtual void postVersionCheckDone(std::int32_t result) = 0;
};

}  // namespace pxr9
