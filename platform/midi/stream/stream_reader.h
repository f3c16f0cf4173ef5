#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <thread>

#include "platform/midi/stream/byte_stream.h"
#include "platform/midi/stream/sysex_recorder.h"

namespace pxr9 {

// A thread that waits for bytes of a source and hands them on, until stopped or until the
// source ends. stop() wakes it at once through its own descriptor.
class StreamReader {
  public:
    using Consumer = std::function<void(const std::uint8_t* bytes, std::size_t count)>;
    // Called on the reading thread when the source has ended by itself (closed, unplugged).
    using EndNotice = std::function<void()>;

    StreamReader(ByteSource& source, SysexRecorder& recorder);
    StreamReader(ByteSource& source, Consumer consumer, EndNotice ended = {});
    ~StreamReader();
    StreamReader(const StreamReader&) = delete;
    StreamReader& operator=(const StreamReader&) = delete;

    // False when the thread cannot be started. Starting a running reader changes nothing.
    bool start();
    // Returns after the thread has ended. Must not be called from the reading thread.
    void stop();

  private:
    void run(int wakeFd);

    ByteSource& source_;
    const Consumer consumer_;
    const EndNotice ended_;
    int wakeFd_ = -1;
    std::thread thread_;
};

}  // namespace pxr9
