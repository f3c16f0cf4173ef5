#include "midi/receive_queue.h"

#include <cstring>
#include <new>

namespace pxr9 {

bool ReceiveQueue::append(const std::uint8_t* bytes, std::size_t n) {
    // The copy is made before the node is linked, outside the lock.
    auto* node = new (std::nothrow) QueueNode;
    if (node == nullptr) return false;
    if (n > 0) {
        node->data.reset(new (std::nothrow) std::uint8_t[n]);
        if (!node->data) {
            delete node;
            return false;
        }
        std::memcpy(node->data.get(), bytes, n);
    }
    node->size = n;
    {
        std::lock_guard lock(mutex_);
        node->arrival = ++arrivals_;
        if (tail_ == nullptr) {
            head_ = node;
        } else {
            tail_->next = node;
        }
        tail_ = node;
    }
    tellListener();
    return true;
}

void ReceiveQueue::tellListener() {
    std::lock_guard lock(listenerMutex_);
    if (listener_ != nullptr) listener_->messageQueued();
}

std::uint64_t ReceiveQueue::arrivals() const {
    std::lock_guard lock(mutex_);
    return arrivals_;
}

void ReceiveQueue::markEnded() {
    {
        std::lock_guard lock(mutex_);
        ended_ = true;
    }
    tellListener();
}

void ReceiveQueue::forgetEnd() {
    std::lock_guard lock(mutex_);
    ended_ = false;
}

bool ReceiveQueue::ended() const {
    std::lock_guard lock(mutex_);
    return ended_;
}

void ReceiveQueue::setListener(ArrivalListener* listener) {
    std::lock_guard lock(listenerMutex_);
    listener_ = listener;
}

const QueueNode* ReceiveQueue::head() const {
    std::lock_guard lock(mutex_);
    return head_;
}

void ReceiveQueue::popHead() {
    QueueNode* node;
    {
        std::lock_guard lock(mutex_);
        node = head_;
        if (node == nullptr) return;
        head_ = node->next;
        if (head_ == nullptr) tail_ = nullptr;
    }
    delete node;
}

void ReceiveQueue::clear() {
    QueueNode* node;
    {
        std::lock_guard lock(mutex_);
        node = head_;
        head_ = tail_ = nullptr;
        ended_ = false;
    }
    while (node != nullptr) {
        QueueNode* next = node->next;
        delete node;
        node = next;
    }
}

}  // namespace pxr9
