#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>

#include "midi/backends/byte_stream.h"

namespace pxr9 {

// Sends whole messages to a sink: every byte written, then drained, so the caller's buffer
// may be reused when send returns. Sends from several threads are serialised: the bytes of
// two messages never interleave on the wire.
class BlockingSender {
  public:
    explicit BlockingSender(ByteSink& sink) : sink_(sink) {}

    // False when the sink refused a write or the drain; the message may then be cut short.
    bool send(const std::uint8_t* data, std::size_t size);
    // Every later send fails; a send in progress fails before its next write.
    void cancel() { cancelled_.store(true); }

  private:
    ByteSink& sink_;
    std::mutex mutex_;
    std::atomic<bool> cancelled_{false};
};

}  // namespace pxr9
