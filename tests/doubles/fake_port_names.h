#pragma once

#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "midi/midi_connection.h"

namespace pxr9::testing {

// The ports a fake backend lists, and which of them refuse to open. Port k's address is "k",
// so a test sees which port was opened.
class FakePortNames {
  public:
    explicit FakePortNames(std::vector<std::string> names) : names_(std::move(names)) {}

    std::vector<PortEntry> entries() const {
        std::lock_guard lock(mutex_);
        std::vector<PortEntry> entries;
        for (std::size_t k = 0; k < names_.size(); ++k)
            entries.push_back({names_[k], std::to_string(k)});
        return entries;
    }
    void set(std::vector<std::string> names) {
        std::lock_guard lock(mutex_);
        names_ = std::move(names);
    }
    void failOpen(int index, bool fail) {
        std::lock_guard lock(mutex_);
        if (fail) {
            failingOpens_.insert(index);
        } else {
            failingOpens_.erase(index);
        }
    }
    bool opens(int index) const {
        std::lock_guard lock(mutex_);
        return !failingOpens_.contains(index);
    }

  private:
    mutable std::mutex mutex_;
    std::vector<std::string> names_;
    std::set<int> failingOpens_;
};

}  // namespace pxr9::testing
