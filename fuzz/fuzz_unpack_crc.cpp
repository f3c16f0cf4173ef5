// The Read Data payload path: unpacking into the ReadBuffer with the CRC check, exactly as
// the dispatcher calls it, against a plain bit-by-bit CRC; and the packing round trips.
//
// The input is the tail of a Read Data from its length field on: n (2 bytes, not masked, as
// the dispatcher reads them), the packed data, the 5-byte CRC field. When the input is too
// short for n, n shrinks to what fits, so every input exercises the decoder.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "protocol/crc32.h"
#include "protocol/read_buffer.h"
#include "protocol/seven_bit.h"

namespace pxr9::fuzz {
namespace {

using Bytes = std::vector<std::uint8_t>;

// The CRC register without any table: shift out one bit at a time.
std::uint32_t bitwiseCrc(const Bytes& raw) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::uint8_t b : raw) {
        crc ^= b;
        for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
    }
    return crc;
}

// The received CRC field: seven bits from each of four bytes, then bits 28..31 from the fifth.
std::uint32_t crcFieldValue(const Bytes& f) {
    std::uint64_t v = (f[0] & 0x7Fu) | (f[1] & 0x7Fu) << 7 | (f[2] & 0x7Fu) << 14 |
                      (f[3] & 0x7Fu) << 21 | static_cast<std::uint64_t>(f[4]) << 28;
    return static_cast<std::uint32_t>(v);
}

// The largest n whose packed form and CRC field fit in `available` bytes.
std::size_t largestFitting(std::size_t available) {
    const std::size_t p = available - kCrcFieldLength;
    return p - (p + 7) / 8;  // packedLength(n) <= p
}

// The packed form an encoder would have written: 7-bit data bytes and no header bits for
// bytes the last group lacks.
Bytes canonical(Bytes packed, std::size_t n) {
    for (std::size_t s = 0, left = n; s < packed.size();
         s += 8, left -= std::min<std::size_t>(7, left)) {
        const std::size_t k = std::min<std::size_t>(7, left);
        const std::uint8_t keep = static_cast<std::uint8_t>(0x7F & ~(0x7F >> k));
        packed[s] &= keep;
        for (std::size_t i = 1; i <= k; ++i) packed[s + i] &= 0x7F;
    }
    return packed;
}

ReadBuffer& readBuffer() {
    static ReadBuffer buffer;
    return buffer;
}

}  // namespace
}  // namespace pxr9::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace pxr9;
    using namespace pxr9::fuzz;
    if (size < 2 + kCrcFieldLength) return 0;

    std::size_t n = data[0] | (static_cast<std::size_t>(data[1]) << 7);
    n = std::min(n, largestFitting(size - 2));
    const std::size_t p = packedLength(n);
    // Exact-size copies, so any access past them is caught.
    const Bytes packed(data + 2, data + 2 + p);
    const Bytes field(data + 2 + p, data + 2 + p + kCrcFieldLength);

    Bytes raw(n);
    unpackSevenBit(packed.data(), n, raw.data());
    const std::uint32_t crc = sysexCrc32(raw.data(), n);
    FUZZ_CHECK(crc == bitwiseCrc(raw));
    const std::uint32_t received = readSevenBitField(field.data(), kCrcFieldLength);
    FUZZ_CHECK(received == crcFieldValue(field));

    // The dispatcher's path: the same bytes land at count; only a matching CRC counts them.
    ReadBuffer& buffer = readBuffer();
    buffer.reset();
    const ReadBuffer::Append result = buffer.appendPacked(packed.data(), n, received);
    FUZZ_CHECK(result ==
               (crc == received ? ReadBuffer::Append::Accepted : ReadBuffer::Append::BadCrc));
    FUZZ_CHECK(buffer.count() == (result == ReadBuffer::Append::Accepted ? n : 0));
    Bytes written(n);
    buffer.copyData(0, n, written.data());
    FUZZ_CHECK(written == raw);

    // Round trips: packing what was unpacked gives back an encoder's packed form, and
    // unpacking it gives back the raw bytes.
    Bytes repacked(p);
    FUZZ_CHECK(packSevenBit(raw.data(), n, repacked.data()) == p);
    const Bytes valid = canonical(packed, n);
    Bytes fromValid(n);
    unpackSevenBit(valid.data(), n, fromValid.data());
    Bytes validRepacked(p);
    packSevenBit(fromValid.data(), n, validRepacked.data());
    FUZZ_CHECK(validRepacked == valid);
    if (packed == valid) FUZZ_CHECK(repacked == packed);
    Bytes again(n);
    unpackSevenBit(repacked.data(), n, again.data());
    FUZZ_CHECK(again == raw);
    return 0;
}
