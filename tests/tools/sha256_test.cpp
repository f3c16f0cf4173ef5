// SHA-256 against published vectors, whole and fed in awkward pieces.
#include "tools/sim/sha256.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace pxr9::testing {
namespace {

using namespace pxr9::tools;

std::span<const std::uint8_t> bytesOf(const std::string& text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

struct Vector {
    std::string input;
    const char* digest;
};

const Vector kVectors[] = {
    {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
    {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
    // 56 bytes: the length no longer fits the first block's padding.
    {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
     "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
    {"abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlmnop"
     "qrsmnopqrstnopqrstu",
     "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},
};

TEST(Sha256, KnownVectors) {
    for (const Vector& v : kVectors) {
        EXPECT_EQ(toHex(sha256(bytesOf(v.input))), v.digest) << '"' << v.input << '"';
    }
}

TEST(Sha256, PiecesOfAnySizeGiveTheSameDigest) {
    const std::string text = kVectors[3].input;
    for (std::size_t piece : {1u, 3u, 55u, 63u, 64u, 65u}) {
        Sha256 hash;
        for (std::size_t at = 0; at < text.size(); at += piece) {
            hash.update(bytesOf(text.substr(at, piece)));
        }
        EXPECT_EQ(toHex(hash.finish()), kVectors[3].digest) << "pieces of " << piece;
    }
}

TEST(Sha256, RepeatedBytesMatchTheMillionAVector) {
    Sha256 hash;
    hash.update(bytesOf("a"));
    hash.updateRepeated('a', 999'999);
    EXPECT_EQ(toHex(hash.finish()),
              "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

}  // namespace
}  // namespace pxr9::testing
