#pragma once

#include <cstddef>
#include <cstdint>

#include "protocol/device_link.h"

namespace pxr9 {

// Drains the receive queue oldest first: interprets each message, hands an answer over to the
// waiting worker and signals the reply event, or answers the device by itself. Once the
// queue is empty and the input has ended, the device is marked gone. Runs on the dispatch
// thread only, never twice at once.
void dispatchReplies(DeviceLink& link);

// Interprets one received message of `size` bytes; never reads past them. `arrival` is its
// place in the receive queue's order: one that came before the current request left does
// not end the worker's wait (automatic answers are still sent).
void interpretMessage(DeviceLink& link, const std::uint8_t* m, std::size_t size,
                      std::uint64_t arrival = kArrivedNow);

}  // namespace pxr9
