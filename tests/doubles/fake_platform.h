#pragma once

#include <atomic>
#include <condition_variable>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "app/message_boxes.h"
#include "engine/updater_state.h"
#include "platform/real_time.h"
#include "tests/doubles/fake_input_backend.h"
#include "tests/doubles/fake_output_backend.h"
#include "tests/doubles/fake_port_watch.h"

namespace pxr9::testing {

// Pauses cost nothing: tests never wait for time to pass.
class InstantClock final : public Clock {
  public:
    void sleep(std::uint32_t) override {}
};

struct ShownBox {
    QString text;
    QString caption;
    BoxIcon icon;
    bool operator==(const ShownBox&) const = default;
};

// Answers every box at once and remembers it; `onShow` sees the dialog as the box would.
class RecordingBoxes final : public MessageBoxes {
  public:
    std::vector<ShownBox> shown;
    std::function<void()> onShow;

    void show(QWidget*, const QString& text, const QString& caption, BoxIcon icon) override {
        shown.push_back({text, caption, icon});
        if (onShow) onShow();
    }
};

// Everything a dialog runs on, with a real reply event so closing can release a worker.
class FakePlatform final : private DispatchWatcher {
  public:
    testing::FakeInputBackend in;
    testing::FakeOutputBackend out;
    InputPorts inputs{{&in}};
    OutputPorts outputs{{&out}};
    RealReplyEvent event;
    InstantClock clock;
    FakePortWatch portWatch;

    UpdaterPlatform platform() { return {inputs, outputs, event, clock, this, &portWatch}; }
    void setNames(const std::vector<std::string>& names) {
        in.setNames(names);
        out.setNames(names);
    }
    // Whether the dialog's dispatch thread runs.
    bool dispatching() {
        std::lock_guard lock(mutex_);
        return dispatcher_ != nullptr && dispatcher_->running();
    }

  private:
    void watch(DispatchThread* dispatcher) override {
        std::lock_guard lock(mutex_);
        dispatcher_ = dispatcher;
    }

    std::mutex mutex_;
    DispatchThread* dispatcher_ = nullptr;
};

}  // namespace pxr9::testing
