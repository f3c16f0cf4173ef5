#pragma once

#include <cstdint>

#include "sim/flash_layout.h"

namespace pxr9::sim {

// How long the device takes. Internally the device counts microseconds; an answer leaves at
// the first whole millisecond at or after its moment.
//
// Defaults stand for a plausible device: 1 us per erased byte (the 14.2 MiB upper region
// takes about 15 s, well inside the host's 120 s erase limit), 2 ms to program a block,
// 1 ms from the end of the work until the answer leaves. A whole update then takes about
// 16 s of erasing, 8 s of writing and 4 s of answer latency: under 30 s of virtual time.
struct TimingModel {
    std::uint64_t eraseNsPerByte = 1000;
    std::uint64_t writeBlockUs = 2000;
    std::uint64_t replyLatencyUs = 1000;

    static constexpr TimingModel instant() { return {0, 0, 0}; }
};

struct VersionStamps {
    VersionStamp boot = makeStamp("1.00");
    VersionStamp preset = makeStamp("1.00");
    VersionStamp system = makeStamp("1.10");
};

struct SimConfig {
    // Bytes 6..9 of the Identity Reply; its low byte is the modelId of every status sent.
    // Each of its four bytes must be below 0x80 to travel in SysEx.
    std::uint32_t identity = 0x0010006E;
    // Held in flash at their addresses from the start.
    VersionStamps stamps;
    TimingModel timing;
    // Status the device answers with when it refuses a request (1..0x7F).
    std::uint8_t refusalStatus = 0x01;
    // Picks the "old firmware" pattern that fills the flash at start.
    std::uint64_t flashSeed = 0x9E3779B97F4A7C15ull;
    // Like NOR flash, programming can only clear bits: a write over unerased bytes stores
    // old AND new. A host that skips an erase then leaves wrong bytes behind.
    bool programClearsBitsOnly = true;
};

}  // namespace pxr9::sim
