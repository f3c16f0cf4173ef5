#include "tests/doubles/surface_recorder.h"

namespace pxr9::testing {

void SurfaceRecorder::add(std::string call) {
    calls_.push_back(std::move(call));
}

void SurfaceRecorder::setStatusText(const std::string& text) {
    std::lock_guard lock(mutex_);
    status_ = text;
    add("status:" + text);
}

void SurfaceRecorder::setStepText(const std::string& text) {
    std::lock_guard lock(mutex_);
    step_ = text;
    add("step:" + text);
}

void SurfaceRecorder::setProgressRange(std::int32_t lower, std::int32_t upper) {
    std::lock_guard lock(mutex_);
    rangeUpper_ = upper;
    add("range:" + std::to_string(lower) + ".." + std::to_string(upper));
}

void SurfaceRecorder::setProgressPosition(std::int32_t position) {
    std::lock_guard lock(mutex_);
    position_ = position;
    add("pos:" + std::to_string(position));
}

void SurfaceRecorder::showError(const std::string& text, const std::string& cause) {
    std::lock_guard lock(mutex_);
    add("error:" + (cause.empty() ? text : text + "\n" + cause));
}

void SurfaceRecorder::showVersionReport(const std::string& text) {
    std::lock_guard lock(mutex_);
    add("report:" + text);
}

std::vector<std::string> SurfaceRecorder::calls() const {
    std::lock_guard lock(mutex_);
    return calls_;
}

std::vector<std::string> SurfaceRecorder::boxes() const {
    std::lock_guard lock(mutex_);
    std::vector<std::string> result;
    for (const auto& call : calls_) {
        if (call.rfind("error:", 0) == 0 || call.rfind("report:", 0) == 0) result.push_back(call);
    }
    return result;
}

std::vector<std::string> SurfaceRecorder::steps() const {
    std::lock_guard lock(mutex_);
    std::vector<std::string> result;
    for (const auto& call : calls_) {
        if (call.rfind("step:", 0) == 0) result.push_back(call.substr(5));
    }
    return result;
}

std::string SurfaceRecorder::status() const {
    std::lock_guard lock(mutex_);
    return status_;
}

std::string SurfaceRecorder::step() const {
    std::lock_guard lock(mutex_);
    return step_;
}

std::int32_t SurfaceRecorder::position() const {
    std::lock_guard lock(mutex_);
    return position_;
}

std::int32_t SurfaceRecorder::rangeUpper() const {
    std::lock_guard lock(mutex_);
    return rangeUpper_;
}

}  // namespace pxr9::testing
