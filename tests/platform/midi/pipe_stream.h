#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <vector>

#include "platform/midi/stream/byte_stream.h"

namespace pxr9::testing {

// Writes every byte into a pipe, as a device would send them.
inline void writeAll(int fd, const std::vector<std::uint8_t>& bytes) {
    std::size_t at = 0;
    while (at < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + at, bytes.size() - at);
        ASSERT_GT(n, 0);
        at += static_cast<std::size_t>(n);
    }
}

// The read end of a pipe as a byte source, the way the rawmidi input is one.
class PipeSource : public ByteSource {
  public:
    explicit PipeSource(int fd) : fd_(fd) {
        ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) | O_NONBLOCK);
    }
    ~PipeSource() override { ::close(fd_); }
    std::vector<pollfd> pollDescriptors() override { return {pollfd{fd_, POLLIN, 0}}; }
    long readSome(std::uint8_t* data, std::size_t size) override {
        const ssize_t n = ::read(fd_, data, size);
        if (n > 0) return n;
        if (n == 0) return -EPIPE;
        return errno == EAGAIN || errno == EINTR ? 0 : -errno;
    }

  private:
    int fd_;
};

// The write end of a pipe as a byte sink: non-blocking, and a pipe has nothing to drain.
class PipeSink : public ByteSink {
  public:
    explicit PipeSink(int fd) : fd_(fd) {
        ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) | O_NONBLOCK);
    }
    ~PipeSink() override { ::close(fd_); }
    std::vector<pollfd> pollDescriptors() override { return {pollfd{fd_, POLLOUT, 0}}; }
    long write(const std::uint8_t* data, std::size_t size) override {
        const ssize_t n = ::write(fd_, data, size);
        if (n >= 0) return n;
        return errno == EAGAIN ? 0 : -errno;
    }
    int drained() override { return 1; }

  private:
    int fd_;
};

}  // namespace pxr9::testing
