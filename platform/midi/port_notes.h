#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <utility>

namespace pxr9 {

// What the hardware backends have to say about opening a port: why an open failed (who holds
// the port and how to free it), or what it had to work around. The front ends show it beside
// their own texts.
class PortNotes {
  public:
    using Listener = std::function<void(const std::string& text)>;

    // Called with every note as it is made, on the thread that opens the port.
    void setListener(Listener listener) {
        std::lock_guard lock(mutex_);
        listener_ = std::move(listener);
    }

    // A failed open keeps its cause until taken or until the next open in that direction.
    void note(bool output, std::string text, bool failed) {
        Listener listener;
        {
            std::lock_guard lock(mutex_);
            failure(output) = failed ? text : std::string();
            listener = listener_;
        }
        if (listener) listener(text);
    }

    // An open that needed no note.
    void clear(bool output) {
        std::lock_guard lock(mutex_);
        failure(output).clear();
    }

    // The cause of the last failed open in that direction, once; empty when there is none.
    std::string takeFailure(bool output) {
        std::lock_guard lock(mutex_);
        return std::exchange(failure(output), std::string());
    }

  private:
    std::string& failure(bool output) { return output ? outFailure_ : inFailure_; }

    std::mutex mutex_;
    Listener listener_;
    std::string inFailure_;
    std::string outFailure_;
};

}  // namespace pxr9
