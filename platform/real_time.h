#pragma once

#include <condition_variable>
#include <mutex>

#include "protocol/reply_event.h"

namespace pxr9 {

class RealReplyEvent final : public ReplyEvent {
  public:
    void set() override;
    void reset() override;
    bool wait(std::uint32_t timeoutMs) override;

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool signalled_ = false;
};

class RealClock final : public Clock {
  public:
    void sleep(std::uint32_t ms) override;
};

}  // namespace pxr9
