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
    QueueNode* next = nullptr;
};

// Received SysEx messages, oldest first. One producer (the MIDI callback) appends at the
// tail, one consumer (the poll timer) removes at the head. A short lock around linking and
// unlinking makes a node visible only once its copy is complete and keeps an append that
// meets the removal of the last node from losing either; the producer never waits for the
// consumer's handling of a message, only for the few instructions of an unlink.
class ReceiveQueue {
public:
    ReceiveQueue() = default;
    ~ReceiveQueue() { clear(); }
    ReceiveQueue(const ReceiveQueue&) = delete;
    ReceiveQueue& operator=(const ReceiveQueue&) = delete;

    // Copies n bytes into a new node at the tail; false when memory ran out (nothing queued).
    bool append(const std::uint8_t* bytes, std::size_t n);
    // Consumer side: the oldest node, or null. It stays valid until popHead.
    const QueueNode* head() const;
    // Consumer side: unlinks and frees the oldest node.
    void popHead();
    // Frees every node (only when no consumer runs any more).
    void clear();
    bool empty() const { return head() == nullptr; }

private:
    mutable std::mutex mutex_;
    QueueNode* head_ = nullptr;
    QueueNode* tail_ = nullptr;
};

}  // namespace pxr9
