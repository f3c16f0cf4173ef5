#pragma once

#include <cstdint>
#include <string>

namespace pxr9 {

// What a running procedure reports through: progress, and the boxes it shows. Every call has
// taken effect before it returns; a modal box returns when the user has dismissed it. How a
// procedure ended reaches the front end as its outcome, not through here.
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
};

}  // namespace pxr9
