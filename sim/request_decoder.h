#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "sim/request_kind.h"

namespace pxr9::sim {

// A request as the device reads it off the wire. The fields point into the received
// message and are valid only as long as it is.
struct Request {
    RequestKind kind = RequestKind::IdentityRequest;
    // False when the message names a request but its length or fields do not fit it.
    bool wellFormed = false;
    // As sent, up to 35 bits: the device checks them against its flash.
    std::uint64_t address = 0;
    std::uint64_t length = 0;              // bytes to erase, write or read
    std::span<const std::uint8_t> packed;  // Write Block data in packed form
    std::uint32_t crc = 0;                 // Write Block CRC field; bits above 31 fall away
};

// Reads one received message. Returns no request for whatever the device does not serve:
// a broken frame (no F0 ... F7, a byte of 0x80 or more inside), a message of another maker
// or for another device, the host's own Status message or Identity Reply, and unknown
// commands. Reads only within `message`.
std::optional<Request> decodeRequest(std::span<const std::uint8_t> message);

}  // namespace pxr9::sim
