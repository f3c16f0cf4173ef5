#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "engine/dialog_surface.h"

namespace pxr9::testing {

// Logs every surface call in order, as short texts ("status:...", "step:3/10", "range:0..10",
// "pos:1", "error:...", "report:..."), and keeps the latest value of each field. Boxes return
// at once, as if dismissed.
class SurfaceRecorder final : public DialogSurface {
  public:
    void setStatusText(const std::string& text) override;
    void setStepText(const std::string& text) override;
    void setProgressRange(std::int32_t lower, std::int32_t upper) override;
    void setProgressPosition(std::int32_t position) override;
    using DialogSurface::showError;
    // Recorded as the box shows it: the text, and the cause as its second line.
    void showError(const std::string& text, const std::string& cause) override;
    void showVersionReport(const std::string& text) override;

    std::vector<std::string> calls() const;
    // The calls that are not progress reports: the boxes.
    std::vector<std::string> boxes() const;
    std::vector<std::string> steps() const;
    std::string status() const;
    std::string step() const;
    std::int32_t position() const;
    std::int32_t rangeUpper() const;

  private:
    void add(std::string call);

    mutable std::mutex mutex_;
    std::vector<std::string> calls_;
    std::string status_;
    std::string step_;
    std::int32_t position_ = 0;
    std::int32_t rangeUpper_ = 0;
};

}  // namespace pxr9::testing
