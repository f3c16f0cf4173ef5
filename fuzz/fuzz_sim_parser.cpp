// The simulated device's side: any bytes arriving as one message. It answers at most once,
// never before the message arrived, and only with well-framed SysEx that the host can read.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "protocol/crc32.h"
#include "protocol/seven_bit.h"
#include "sim/sim_device.h"

namespace pxr9::fuzz {
namespace {

using Bytes = std::vector<std::uint8_t>;

bool isFrame(std::span<const std::uint8_t> m) {
    if (m.size() < 2 || m.front() != 0xF0 || m.back() != 0xF7) return false;
    for (std::size_t i = 1; i + 1 < m.size(); ++i) {
        if (m[i] >= 0x80) return false;
    }
    return true;
}

// A Read Data answer must carry a length that matches its size and a CRC that matches its
// data: the host would otherwise reject a read the device meant to be good.
void checkReadData(const Bytes& m) {
    FUZZ_CHECK(m.size() >= 17);
    FUZZ_CHECK(m[5] == 0x04 && m[6] == 0x30);
    const std::size_t n = readSevenBitField(&m[9], 2);
    const std::size_t p = packedLength(n);
    FUZZ_CHECK(m.size() == 17 + p);
    Bytes raw(n);
    unpackSevenBit(&m[11], n, raw.data());
    FUZZ_CHECK(sysexCrc32(raw.data(), n) == readSevenBitField(&m[11 + p], kCrcFieldLength));
}

void checkAnswer(const Bytes& m) {
    FUZZ_CHECK(isFrame(m));
    FUZZ_CHECK(m.size() >= 6);
    if (m[1] == 0x7E) {
        FUZZ_CHECK(m.size() == 15 && m[3] == 0x06 && m[4] == 0x02);
        return;
    }
    FUZZ_CHECK(m[1] == 0x52);
    if (m[4] == 0x60) {
        checkReadData(m);
    } else {
        FUZZ_CHECK(m[4] == 0x00 && m.size() == 7);
    }
}

// One device for all inputs: its 16 MiB flash makes a new one per input far too slow.
sim::SimDevice& device() {
    static sim::SimDevice d;
    return d;
}

}  // namespace
}  // namespace pxr9::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace pxr9::fuzz;
    static std::uint64_t nowMs = 0;
    nowMs += 1000;

    // An exact-size copy, so a read past the message is caught.
    const Bytes message(data, data + size);
    auto& d = device();
    const std::uint64_t seenBefore = d.counts().requests() + d.counts().ignored;
    const auto answers = d.receive(message.data(), message.size(), nowMs);

    FUZZ_CHECK(d.counts().requests() + d.counts().ignored == seenBefore + 1);
    FUZZ_CHECK(answers.size() <= 1);
    if (!isFrame(message)) FUZZ_CHECK(answers.empty());
    for (const auto& answer : answers) {
        FUZZ_CHECK(answer.atMs >= nowMs);
        checkAnswer(answer.bytes);
    }
    return 0;
}
