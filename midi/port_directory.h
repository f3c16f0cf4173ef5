#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "midi/midi_connection.h"

namespace pxr9 {

// What a port list shows a user: device k's name for k in 0..count-1.
class PortList {
  public:
    virtual ~PortList() = default;
    // Takes a fresh list of the ports and returns how many there are.
    virtual int count() = 0;
    // False when there is no device k in the list last taken.
    virtual bool name(int index, std::string& name) = 0;
};

// Numbers the ports of several backends in one order: all ports of the first backend, then
// those of the next. Counting takes a fresh list; names and opens use the list last taken,
// so the number a user chose from a list opens the port that list showed.
template <class Backend>
class PortDirectory final : public PortList {
  public:
    struct Listed {
        Backend* backend;
        PortEntry port;
    };

    explicit PortDirectory(std::vector<Backend*> backends) : backends_(std::move(backends)) {}

    int count() override {
        std::lock_guard lock(mutex_);
        refresh();
        return static_cast<int>(listed_->size());
    }

    bool name(int index, std::string& name) override {
        const std::optional<Listed> entry = find(index);
        if (!entry) return false;
        name = entry->port.name;
        return true;
    }

    std::optional<Listed> find(std::int32_t index) {
        std::lock_guard lock(mutex_);
        if (!listed_) refresh();
        if (index < 0 || static_cast<std::size_t>(index) >= listed_->size()) return std::nullopt;
        return (*listed_)[static_cast<std::size_t>(index)];
    }

  private:
    void refresh() {
        std::vector<Listed> fresh;
        for (Backend* backend : backends_) {
            for (PortEntry& port : backend->ports()) fresh.push_back({backend, std::move(port)});
        }
        listed_ = std::move(fresh);
    }

    const std::vector<Backend*> backends_;
    std::mutex mutex_;
    std::optional<std::vector<Listed>> listed_;
};

using OutputPorts = PortDirectory<OutputBackend>;
using InputPorts = PortDirectory<InputBackend>;

}  // namespace pxr9
