#include "tools/cli/console_surface.h"

#include <algorithm>
#include <cctype>

namespace pxr9::tools {

namespace {

constexpr int kBarWidth = 30;

// "Data transmit  4096 / 155648 " and "Data transmit  8192 / 155648 " say the same thing
// to someone reading a log; the progress lines carry the numbers.
std::string withoutDigits(const std::string& text) {
    std::string shape;
    for (char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c))) shape += c;
    }
    return shape;
}

std::string trimmedRight(std::string text) {
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

}  // namespace

ConsoleSurface::ConsoleSurface(std::ostream& out, std::ostream& err, bool terminal)
    : out_(out), err_(err), terminal_(terminal) {}

int ConsoleSurface::percent() const {
    if (upper_ <= lower_) return 0;
    const std::int64_t done = std::int64_t{position_} - lower_;
    const std::int64_t span = std::int64_t{upper_} - lower_;
    return static_cast<int>(std::clamp<std::int64_t>(done * 100 / span, 0, 100));
}

void ConsoleSurface::printLine(const std::string& line) {
    if (silenced_) return;
    out_ << line << '\n' << std::flush;
}

void ConsoleSurface::redraw() {
    if (silenced_) return;
    const int pct = percent();
    const int filled = pct * kBarWidth / 100;
    std::string line = step_.empty() ? std::string() : step_ + "  ";
    line += "[" + std::string(filled, '#') + std::string(kBarWidth - filled, '.') + "] ";
    const std::string number = std::to_string(pct);
    line += std::string(3 - std::min<std::size_t>(3, number.size()), ' ') + number + "%";
    if (!trimmedRight(status_).empty()) line += "  " + trimmedRight(status_);
    if (lineOpen_ && line == drawn_) return;
    out_ << '\r' << line << "\x1b[K" << std::flush;
    drawn_ = line;
    lineOpen_ = true;
}

void ConsoleSurface::endLineLocked() {
    if (!lineOpen_) return;
    out_ << '\n' << std::flush;
    lineOpen_ = false;
}

void ConsoleSurface::setStatusText(const std::string& text) {
    std::lock_guard lock(mutex_);
    const bool sameShape = withoutDigits(text) == withoutDigits(status_);
    status_ = text;
    if (terminal_) {
        redraw();
    } else if (!trimmedRight(text).empty() && (!sameShape || statusDue_)) {
        printLine("status: " + trimmedRight(text));
        statusDue_ = false;
    }
}

void ConsoleSurface::setStepText(const std::string& text) {
    std::lock_guard lock(mutex_);
    const bool changed = text != step_;
    step_ = text;
    if (terminal_) {
        redraw();
    } else if (changed) {
        printLine("step " + text);
    }
}

void ConsoleSurface::setProgressRange(std::int32_t lower, std::int32_t upper) {
    std::lock_guard lock(mutex_);
    lower_ = lower;
    upper_ = upper;
    printedTenth_ = -1;
    statusDue_ = true;
    if (terminal_) redraw();
}

void ConsoleSurface::setProgressPosition(std::int32_t position) {
    std::lock_guard lock(mutex_);
    position_ = position;
    if (terminal_) {
        redraw();
        return;
    }
    const int pct = percent();
    if (pct / 10 > printedTenth_) {
        printedTenth_ = pct / 10;
        printLine("progress " + std::to_string(pct) + "%");
        // Below the first tenth the status of the range's start still says it all.
        if (printedTenth_ > 0) statusDue_ = true;
    }
}

void ConsoleSurface::showError(const std::string& text, const std::string& cause) {
    std::lock_guard lock(mutex_);
    if (silenced_) return;
    endLineLocked();
    err_ << "Error: " << text << '\n';
    if (!cause.empty()) err_ << "pxr9-cli: " << cause << '\n';
    err_ << std::flush;
}

void ConsoleSurface::showVersionReport(const std::string& text) {
    std::lock_guard lock(mutex_);
    if (silenced_) return;
    endLineLocked();
    out_ << "Version Information\n" << text << '\n' << std::flush;
}

void ConsoleSurface::silence() {
    std::lock_guard lock(mutex_);
    endLineLocked();
    silenced_ = true;
}

void ConsoleSurface::endLine() {
    std::lock_guard lock(mutex_);
    endLineLocked();
}

std::string ConsoleSurface::status() const {
    std::lock_guard lock(mutex_);
    return status_;
}

}  // namespace pxr9::tools
