#pragma once

#include <cstdint>
#include <thread>

#include "midi/backends/byte_stream.h"
#include "midi/backends/sysex_recorder.h"

namespace pxr9 {

// A thread that waits for bytes of a source and feeds them to a recorder, until stopped or
// until the source ends. stop() wakes it at once through its own descriptor.
class StreamReader {
  public:
    StreamReader(ByteSource& source, SysexRecorder& recorder);
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
    SysexRecorder& recorder_;
    int wakeFd_ = -1;
    std::thread thread_;
};

}  // namespace pxr9
