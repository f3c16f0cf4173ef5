#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>

#include "platform/midi/stream/byte_stream.h"

namespace pxr9 {

// The kernel's buffer in front of a device: its size and its free room.
struct BufferRoom {
    std::size_t size = 0;
    std::size_t free = 0;
};

// A sink into a buffer that drops whatever does not fit and says nothing, such as the
// kernel's sequencer bridge to a rawmidi port (4 KiB): bytes go in pieces of at most 1 KiB,
// each only when the buffer has room for it and a reserve for others' short messages, and
// the message is done when the buffer is empty. Its state is read, not waited on, so the
// sender asks again every millisecond.
class PacedSink : public ByteSink {
  public:
    static constexpr std::size_t kPiece = 1024;
    static constexpr std::size_t kReserve = 256;

    // `room`: the buffer as it is now, nullopt when it cannot be read (the device is gone).
    // `put`: hands one piece on whole; the number of bytes taken or a negative errno.
    using Room = std::function<std::optional<BufferRoom>()>;
    using Put = std::function<long(const std::uint8_t* data, std::size_t size)>;

    PacedSink(Room room, Put put) : room_(std::move(room)), put_(std::move(put)) {}

    std::vector<pollfd> pollDescriptors() override { return {}; }
    long write(const std::uint8_t* data, std::size_t size) override;
    int drained() override;
    std::chrono::milliseconds retryAfter() const override { return std::chrono::milliseconds(1); }

    // How much of `wanted` bytes may go into a buffer in state `room` now (0: wait).
    static std::size_t pieceFor(std::size_t wanted, const BufferRoom& room);

  private:
    Room room_;
    Put put_;
};

}  // namespace pxr9
