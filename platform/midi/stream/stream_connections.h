#pragma once

#include <memory>
#include <thread>

#include "midi/midi_connection.h"
#include "platform/midi/stream/blocking_sender.h"
#include "platform/midi/stream/byte_stream.h"
#include "platform/midi/stream/stream_reader.h"

namespace pxr9 {

// An output over a byte sink: blocking write of the whole message, then drain.
class StreamOutput : public OutputConnection {
  public:
    explicit StreamOutput(std::unique_ptr<ByteSink> sink)
        : sink_(std::move(sink)), sender_(*sink_) {}
    // A device that went away takes the bytes still queued for it along, and the kernel then
    // waits out its drain (up to 10 s) when the port closes: that close happens off the
    // caller's thread, which may be the dialog's. The sender no longer uses the sink.
    ~StreamOutput() override {
        if (sender_.deviceGone()) std::thread([closing = std::move(sink_)] {}).detach();
    }
    bool send(const std::uint8_t* data, std::size_t size) override {
        return sender_.send(data, size);
    }
    void cancel() override { sender_.cancel(); }
    bool deviceGone() const override { return sender_.deviceGone(); }

  private:
    std::unique_ptr<ByteSink> sink_;
    BlockingSender sender_;
};

// An input over a byte source, read by a thread of its own while started, its SysEx messages
// recorded for the receiver. A source that ends by itself (the device went away) ends the
// reading and is told to the receiver.
class StreamInput : public InputConnection {
  public:
    StreamInput(std::unique_ptr<ByteSource> source, SysexReceiver& receiver)
        : source_(std::move(source)), recorder_(receiver), reader_(*source_, recorder_) {}
    ~StreamInput() override { reader_.stop(); }
    bool start() override {
        recorder_.start();
        if (reader_.start()) return true;
        recorder_.stop();
        return false;
    }
    void stop() override {
        reader_.stop();
        recorder_.stop();
    }

  private:
    std::unique_ptr<ByteSource> source_;
    SysexRecorder recorder_;
    StreamReader reader_;
};

}  // namespace pxr9
