#pragma once

#include <cstdint>

#include "protocol/device_link.h"
#include "protocol/messages.h"

namespace pxr9 {

// One operation per outgoing message: build it and send it. Each returns 0 when the message
// left and -1 when it did not; none waits for a reply or retries. Each request resets the
// reply event right before it leaves (a Memory Read the ReadBuffer too), so an answer that
// came before can never end the wait for this request or add to what it reads.
int sendIdentityRequest(DeviceLink& link);
int sendUpdateStart(DeviceLink& link);
int sendFlashErase(DeviceLink& link, std::uint32_t address, std::uint32_t size);
int sendWriteBlock(DeviceLink& link, std::uint8_t modelId, const std::uint8_t* data,
                   std::uint32_t address, std::uint32_t length);
int sendUpdateEnd(DeviceLink& link);
int sendMemoryRead(DeviceLink& link, const MemoryReadTemplate& form, std::uint32_t address,
                   std::uint32_t length);

// Automatic answers of the dispatcher; built in storage of their own, so they may be on the
// port while a worker's request is.
int sendIdentityReply(DeviceLink& link);
int sendStatus(DeviceLink& link, std::uint8_t status);

}  // namespace pxr9
