#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace pxr9::tools {

// Joins SysEx messages that arrive in pieces of any size into whole F0..F7 messages.
// Real-time bytes inside a message are passed over; any other status byte, or a message
// that grows past the limit, drops the unfinished message; bytes outside a message are
// ignored.
class SysexAssembler {
  public:
    using Sink = std::function<void(const std::vector<std::uint8_t>& message)>;

    static constexpr std::size_t kDefaultLimit = 65536;

    explicit SysexAssembler(Sink sink, std::size_t limit = kDefaultLimit)
        : sink_(std::move(sink)), limit_(limit) {}

    void feed(const std::uint8_t* bytes, std::size_t size);

  private:
    Sink sink_;
    std::size_t limit_;
    std::vector<std::uint8_t> message_;
    bool inside_ = false;
};

}  // namespace pxr9::tools
