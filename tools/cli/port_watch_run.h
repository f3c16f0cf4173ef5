#pragma once

#include <condition_variable>
#include <mutex>
#include <ostream>
#include <string>
#include <vector>

#include "midi/port_directory.h"
#include "midi/port_watch.h"

namespace pxr9::tools {

// `ports --watch`: the lists as `ports` prints them, then after each change one line per port
// that came or went and the lists again, until stopped.
class PortWatchRun {
  public:
    PortWatchRun(PortList& inputs, PortList& outputs, std::ostream& out)
        : inputs_(inputs), outputs_(outputs), out_(out) {}

    // Returns once stopped; false at once when the watch cannot start.
    bool run(PortWatch& watch, int instance);
    // From any thread: run() returns soon, or at once when it has not yet begun waiting.
    void stop();

  private:
    struct Lists {
        std::vector<std::string> in;
        std::vector<std::string> out;
    };
    Lists take();
    void print(const Lists& lists, int instance);

    PortList& inputs_;
    PortList& outputs_;
    std::ostream& out_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool changed_ = false;
    bool stopped_ = false;
};

}  // namespace pxr9::tools
