#pragma once

#include <cstdint>
#include <mutex>
#include <ostream>
#include <string>

#include "engine/dialog_surface.h"

namespace pxr9::tools {

// The dialog's surface on a console. On a terminal the step counter, a progress bar and the
// status line share one line redrawn in place; otherwise each change worth reading becomes a
// line of its own: a new step, a status that differs in more than its numbers, every tenth of
// the progress, and the first status of a range and after each tenth. Error texts go to the
// error stream. Boxes return at once.
class ConsoleSurface final : public DialogSurface {
  public:
    ConsoleSurface(std::ostream& out, std::ostream& err, bool terminal);

    void setStatusText(const std::string& text) override;
    void setStepText(const std::string& text) override;
    void setProgressRange(std::int32_t lower, std::int32_t upper) override;
    void setProgressPosition(std::int32_t position) override;
    using DialogSurface::showError;
    // "Error: <text>", then the cause, when known, as a note of its own.
    void showError(const std::string& text, const std::string& cause) override;
    void showVersionReport(const std::string& text) override;

    // Nothing is printed any more (the run is being aborted); calls are still recorded.
    void silence();
    // Ends a line that is being redrawn, so that what follows starts on a line of its own.
    void endLine();

    std::string status() const;

  private:
    void redraw();
    void printLine(const std::string& line);
    void endLineLocked();
    int percent() const;

    mutable std::mutex mutex_;
    std::ostream& out_;
    std::ostream& err_;
    const bool terminal_;
    bool silenced_ = false;
    bool lineOpen_ = false;
    std::string drawn_;

    std::string step_;
    std::string status_;
    std::int32_t lower_ = 0;
    std::int32_t upper_ = 100;
    std::int32_t position_ = 0;
    int printedTenth_ = -1;
    // The next status is printed even if only its numbers changed: it is the first of a new
    // range or after a new tenth, so a log shows what was being sent when a run stopped.
    bool statusDue_ = false;
};

}  // namespace pxr9::tools
