#pragma once

#include <poll.h>

#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace pxr9 {

// A readable byte stream that can be waited on with poll(): a rawmidi input, or a pipe.
class ByteSource {
  public:
    virtual ~ByteSource() = default;
    // Descriptors that become ready when bytes can be read.
    virtual std::vector<pollfd> pollDescriptors() = 0;
    // Reads what is available without blocking: the number of bytes read, 0 when nothing is
    // available right now, or a negative errno once the stream has ended (closed, unplugged).
    virtual long readSome(std::uint8_t* data, std::size_t size) = 0;
};

// A writable byte stream that never blocks: whoever sends waits on its descriptors, so that
// the wait can be bounded and cancelled.
class ByteSink {
  public:
    virtual ~ByteSink() = default;
    // Descriptors that become ready when write() may take bytes again or when drained() may
    // have changed.
    virtual std::vector<pollfd> pollDescriptors() = 0;
    // Takes what fits now: the number of bytes taken, 0 when none fit right now, or a
    // negative errno.
    virtual long write(const std::uint8_t* data, std::size_t size) = 0;
    // 1 once every written byte has left, 0 while some are still on their way, or a
    // negative errno.
    virtual int drained() = 0;
    // For a sink whose descriptors cannot tell everything: the longest wait before write()
    // or drained() is worth asking again. Negative: the descriptors tell.
    virtual std::chrono::milliseconds retryAfter() const { return std::chrono::milliseconds(-1); }
    // Throws away what was written and has not left yet, so that a message given up on is not
    // delivered later, behind its resend. Bytes already on their way stay sent.
    virtual void drop() {}
};

// Whether a sink's or source's error says that the device itself is gone, not that one
// transfer failed. ENODEV is what the kernel answers on every call once a card was
// disconnected (unplugged); ENXIO is how a device node without its device answers. EIO is
// left out: a driver also reports a transfer that failed once with it, and a resend may
// still get through.
inline bool meansDeviceGone(long error) {
    return error == -ENODEV || error == -ENXIO;
}

}  // namespace pxr9
