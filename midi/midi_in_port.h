#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "midi/midi_service.h"
#include "midi/receive_queue.h"

namespace pxr9 {

// Receives everything the device sends: one 8192-byte buffer lent to the platform; each
// return of it with recorded bytes becomes one node of the receive queue.
class MidiInPort {
  public:
    static constexpr std::uint32_t kBufferSize = 8192;

    explicit MidiInPort(MidiInService& service);
    ~MidiInPort();
    MidiInPort(const MidiInPort&) = delete;
    MidiInPort& operator=(const MidiInPort&) = delete;

    // True when open; on a failure everything done so far is undone.
    [[nodiscard]] bool open(std::int32_t deviceIndex);
    // Does nothing when not open. Queued nodes stay queued.
    void close();
    // Closes the port and frees every queued node.
    void clearQueue();

    bool isOpen() const { return isOpen_.load(); }
    std::int32_t deviceIndex() const { return deviceIndex_; }
    ReceiveQueue& queue() { return queue_; }

    // The platform's input callback; `instance` is the port.
    static void onInput(MidiHandle handle, std::uint32_t notice, void* instance,
                        std::uintptr_t param1, std::uintptr_t param2);

  private:
    struct ReceiveBuffer;

    // Copies one returned buffer into the queue and lends it again (service's thread).
    void receive(MidiHeader& header);
    // Undoes a failed open; `lent` and `prepared` say how far it got.
    void undoOpen(MidiHandle handle, bool prepared, bool lent);
    // Frees the buffer when the platform has let go of it, else keeps it until it may.
    void retireBuffer(bool platformLetGo);

    MidiInService& service_;
    std::int32_t deviceIndex_ = 0;
    std::atomic<bool> isOpen_{false};
    // Serialises open and close (close also runs on a worker thread).
    std::mutex controlMutex_;
    // Guards what the callback reads on the service's thread: the handle, the buffer, and
    // whether the buffer may be lent again. Never held across a call that hands the buffer
    // back (stop, reset), so a callback from inside those cannot deadlock.
    std::mutex lendMutex_;
    MidiHandle handle_ = 0;
    std::unique_ptr<ReceiveBuffer> buffer_;
    bool relend_ = false;
    // Buffers of close chains that ended early: the platform may still write into them.
    std::vector<std::unique_ptr<ReceiveBuffer>> stranded_;
    ReceiveQueue queue_;
};

}  // namespace pxr9
