#pragma once

#include <poll.h>

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

// A writable byte stream whose writes block until the bytes are taken.
class ByteSink {
  public:
    virtual ~ByteSink() = default;
    // The number of bytes taken (> 0) or a negative errno.
    virtual long write(const std::uint8_t* data, std::size_t size) = 0;
    // Returns once every written byte has left: 0, or a negative errno.
    virtual int drain() = 0;
};

}  // namespace pxr9
