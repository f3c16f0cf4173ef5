#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>

namespace pxr9 {

// One return of the receive buffer: an exact copy of the recorded bytes and their count,
// so no reader goes past them.
struct QueueNode {
    std::unique_ptr<std::uint8_t[]> data;
    std::size_t size = 0;
    // 1 for the first message queued, then one more for each: the order of arrival, which
    // tells whether a message came before or after a request left.
    std::uint64_t arrival = 0;
    QueueNode* next = nullptr;
};

// Told of every message as it is queued, on the producer's thread, once its node can be
// taken; must not block.
class ArrivalListener {
  public:
    virtual void messageQueued() = 0;

  protected:
    ~ArrivalListener() = default;
};

// Received SysEx messages, oldest first. One producer (the MIDI callback) appends at the
// tail, one consumer (the dispatch thread) removes at the head. A short lock around linking and
// unlinking makes a node visible only once its copy is complete and keeps an append that
// meets the removal of the last node from losing either; the producer never waits for the
// consumer's handling of a message, only for the few instructions of an unlink.
class ReceiveQueue {
  public:
    ReceiveQueue() = default;
    ~ReceiveQueue() { clear(); }
    ReceiveQueue(const ReceiveQueue&) = delete;
    ReceiveQueue& operator=(const ReceiveQueue&) = delete;

    // Copies n bytes into a new node at the tail and tells the listener; false when memory ran
    // out (nothing queued).
    bool append(const std::uint8_t* bytes, std::size_t n);
    // The consumer to tell of each message, or null. Once this has returned, the listener it
    // replaced is never called again.
    void setListener(ArrivalListener* listener);
    // Consumer side: the oldest node, or null. It stays valid until popHead.
    const QueueNode* head() const;
    // Consumer side: unlinks and frees the oldest node.
    void popHead();
    // Frees every node and forgets an end (only when no consumer runs any more).
    void clear();
    bool empty() const { return head() == nullptr; }

    // How many messages have been queued so far: a message queued from now on has a higher
    // arrival number.
    std::uint64_t arrivals() const;
    // Producer side: the input ended by itself (the device went away); tells the listener.
    // Whatever was queued before stays queued, ahead of the end.
    void markEnded();
    // True once the input ended; cleared by clear() and forgetEnd().
    bool ended() const;
    // The input that ended is closed; a new one may begin.
    void forgetEnd();

  private:
    mutable std::mutex mutex_;
    QueueNode* head_ = nullptr;
    QueueNode* tail_ = nullptr;
    std::uint64_t arrivals_ = 0;
    bool ended_ = false;
    // Apart from the queue's lock, so that the consumer's unlink never waits for a wake-up.
    std::mutex listenerMutex_;
    ArrivalListener* listener_ = nullptr;

    void tellListener();
};

}  // namespace pxr9
