#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <mutex>

namespace pxr9 {

// Where accepted Read Data payloads are appended, in arrival order. The dispatcher appends
// on the timer thread while a worker resets it before a Memory Read and reads the word after
// its wait; the lock keeps a stray reply arriving at that moment from racing the reader.
class ReadBuffer {
  public:
    static constexpr std::size_t kCapacity = 5'824'512;

    enum class Append { Accepted, BadCrc, NoRoom };

    ReadBuffer();

    void reset();
    std::uint32_t count() const;
    // Unpacks n bytes from `packed` at the current count and checks them against `crc`.
    // Accepted: count grows by n. BadCrc: the bytes lie past count and do not count.
    // NoRoom: n would carry count past the data area; nothing is written.
    Append appendPacked(const std::uint8_t* packed, std::size_t n, std::uint32_t crc);
    // Data bytes 0..3 as one word, least significant first.
    std::uint32_t firstWord() const;
    // Copies data bytes [offset, offset + n) out; for checks of what a reply wrote.
    void copyData(std::size_t offset, std::size_t n, std::uint8_t* out) const;

  private:
    struct FreeDeleter {
        void operator()(std::uint8_t* p) const { std::free(p); }
    };
    mutable std::mutex mutex_;
    std::uint32_t count_ = 0;
    // calloc: zeroed like the original's static area, but pages are only touched when used.
    std::unique_ptr<std::uint8_t, FreeDeleter> data_;
};

}  // namespace pxr9
