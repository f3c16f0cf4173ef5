#pragma once

#include <jack/ringbuffer.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/midi/jack/jack_midi_port.h"

namespace pxr9 {

// A JACK MIDI input port. The process callback copies each event whole into a ring; a thread
// of the port hands the bytes on to `sink`, off JACK's real-time thread (a sink may lock,
// allocate or call out). An event that finds no room is dropped whole, never cut. When the
// server or the port at the other end goes away, that thread calls `ended` once, after the
// bytes that came before.
class JackMidiIn final : public JackMidiPort {
  public:
    using Sink = std::function<void(const std::uint8_t* bytes, std::size_t count)>;
    using Ended = std::function<void()>;

    // An input port of `client`, claimed until this ends; null when there is none free, with
    // the reason in `why`.
    static std::unique_ptr<JackMidiIn> open(std::shared_ptr<JackClient> client, Sink sink,
                                            std::string& why, Ended ended = {});
    JackMidiIn(Sink sink, Ended ended);
    // After it returns, the sink is called no more.
    ~JackMidiIn() override;

  private:
    void process(std::uint32_t frames) noexcept override;
    void serverLost() noexcept override;
    void peerLost() noexcept override;
    void deliver();

    const Sink sink_;
    const Ended ended_;
    jack_ringbuffer_t* const ring_;
    const std::size_t capacity_;
    // Bytes put into the ring by the callback and taken out by the delivering thread, each
    // published after the ring was touched.
    std::atomic<std::size_t> written_{0};
    std::atomic<std::size_t> delivered_{0};
    std::atomic<bool> stopping_{false};
    std::atomic<bool> lost_{false};  // the server or the other end went away
    JackWake arrived_;
    std::size_t put_ = 0;  // the callback's own count
    std::thread thread_;
};

}  // namespace pxr9
