#include "protocol/read_buffer.h"

#include <cstring>
#include <new>

#include "protocol/crc32.h"
#include "protocol/seven_bit.h"

namespace pxr9 {

ReadBuffer::ReadBuffer() : data_(static_cast<std::uint8_t*>(std::calloc(kCapacity, 1))) {
    if (!data_) throw std::bad_alloc();
}

void ReadBuffer::reset() {
    std::lock_guard lock(mutex_);
    count_ = 0;
}

std::uint32_t ReadBuffer::count() const {
    std::lock_guard lock(mutex_);
    return count_;
}

ReadBuffer::Append ReadBuffer::appendPacked(const std::uint8_t* packed, std::size_t n,
                                            std::uint32_t crc) {
    std::lock_guard lock(mutex_);
    if (n > kCapacity - count_) return Append::NoRoom;
    std::uint8_t* at = data_.get() + count_;
    unpackSevenBit(packed, n, at);
    if (sysexCrc32(at, n) != crc) return Append::BadCrc;
    count_ += static_cast<std::uint32_t>(n);
    return Append::Accepted;
}

std::uint32_t ReadBuffer::firstWord() const {
    std::lock_guard lock(mutex_);
    const std::uint8_t* d = data_.get();
    return d[0] | (d[1] << 8) | (d[2] << 16) | (static_cast<std::uint32_t>(d[3]) << 24);
}

void ReadBuffer::copyData(std::size_t offset, std::size_t n, std::uint8_t* out) const {
    std::lock_guard lock(mutex_);
    // n == 0 may come with no destination at all; memcpy must not see a null pointer.
    if (n == 0 || offset > kCapacity || n > kCapacity - offset) return;
    std::memcpy(out, data_.get() + offset, n);
}

}  // namespace pxr9
