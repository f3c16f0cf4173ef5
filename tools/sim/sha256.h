#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace pxr9::tools {

using Sha256Digest = std::array<std::uint8_t, 32>;

// SHA-256 over data fed in pieces of any size.
class Sha256 {
  public:
    Sha256();
    void update(std::span<const std::uint8_t> data);
    // Feeds `count` copies of one byte (an erased tail) without building a buffer.
    void updateRepeated(std::uint8_t byte, std::size_t count);
    // Ends the hash; the object must not be fed afterwards.
    Sha256Digest finish();

  private:
    void compress(const std::uint8_t* block);

    std::array<std::uint32_t, 8> h_;
    std::array<std::uint8_t, 64> block_{};
    std::size_t blockFill_ = 0;
    std::uint64_t totalBytes_ = 0;
};

Sha256Digest sha256(std::span<const std::uint8_t> data);
std::string toHex(const Sha256Digest& digest);

}  // namespace pxr9::tools
