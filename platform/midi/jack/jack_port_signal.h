#pragma once

namespace pxr9 {

// How JACK's notification thread says that ports were registered or removed, or that the
// server went away: it counts up an eventfd, which never blocks the thread and wakes a poll.
// Nobody need be waiting: the count just grows until taken.
class JackPortSignal {
  public:
    JackPortSignal();
    ~JackPortSignal();
    JackPortSignal(const JackPortSignal&) = delete;
    JackPortSignal& operator=(const JackPortSignal&) = delete;

    // From any thread, JACK's included.
    void notify() noexcept;
    // Readable while a notification has not been taken; -1 when none could be made.
    int fd() const { return fd_; }
    // True when notified since the last take.
    bool take() noexcept;

  private:
    const int fd_;
};

}  // namespace pxr9
