#pragma once

#include <cstdint>

#include "protocol/device_link.h"
#include "protocol/messages.h"

namespace pxr9 {

// One operation per outgoing message: build it and send it. Each returns true when the message
// left; none waits for a reply or retries. Right before a request leaves, everything received
// until then is marked as belonging to earlier exchanges (a Memory Read resets the ReadBuffer
// too), so a message that came before can never end the wait for this request or add to what
// it reads; only the first answer after it counts; and the link notes that an answer is
// outstanding. A worker may pass over a request
// that did not leave: its wait then runs out as for a device that does not answer, or ends at
// once when the send failed because the device is gone.
// With Expect::IdentityReply, nothing but an Identity Reply ends its wait: what comes before
// it is dropped as the late answers to earlier requests.
bool sendIdentityRequest(DeviceLink& link, Expect expect = Expect::AnyAnswer);
bool sendUpdateStart(DeviceLink& link);
bool sendFlashErase(DeviceLink& link, std::uint32_t address, std::uint32_t size);
bool sendWriteBlock(DeviceLink& link, std::uint8_t modelId, const std::uint8_t* data,
                    std::uint32_t address, std::uint32_t length);
bool sendUpdateEnd(DeviceLink& link);
bool sendMemoryRead(DeviceLink& link, const MemoryReadTemplate& form, std::uint32_t address,
                    std::uint32_t length);

// Automatic answers of the dispatcher; built in storage of their own, so they may be on the
// port while a worker's request is.
bool sendIdentityReply(DeviceLink& link);
bool sendStatus(DeviceLink& link, std::uint8_t status);

}  // namespace pxr9
