#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace pxr9::sim {

// The messages the device sends, in its own words. Every byte between F0 and F7 is kept
// below 0x80, whatever value a caller passes.

// F0 52 00 modelId 00 status F7.
std::vector<std::uint8_t> makeStatus(std::uint8_t modelId, std::uint8_t status);

// F0 7E 00 06 02 52, the identity word least significant byte first, revision, F7.
std::vector<std::uint8_t> makeIdentityReply(std::uint32_t identity);

// How a Read Data leaves; the defaults make a correct one.
struct ReadDataForm {
    std::uint8_t byte5 = 0x04;
    std::uint8_t byte6 = 0x30;
    bool corruptCrc = false;
};

// F0 52 00 modelId 60 byte5 byte6 00 00, n (2 bytes), packed data, CRC field, F7.
// `data` holds at most 16,383 bytes.
std::vector<std::uint8_t> makeReadData(std::uint8_t modelId, std::span<const std::uint8_t> data,
                                       ReadDataForm form = {});

}  // namespace pxr9::sim
