// Joining SysEx that arrives in pieces, and what breaks a message off.
#include "tools/sim/sysex_assembler.h"

#include <gtest/gtest.h>

#include <vector>

namespace pxr9::testing {
namespace {

using namespace pxr9::tools;

using Bytes = std::vector<std::uint8_t>;

std::vector<Bytes> assemble(const std::vector<Bytes>& pieces, std::size_t limit = 64) {
    std::vector<Bytes> messages;
    SysexAssembler assembler([&](const Bytes& m) { messages.push_back(m); }, limit);
    for (const Bytes& piece : pieces) assembler.feed(piece.data(), piece.size());
    return messages;
}

struct Case {
    const char* name;
    std::vector<Bytes> pieces;
    std::vector<Bytes> messages;
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

const Case kCases[] = {
    {"Whole", {{0xF0, 0x52, 0x01, 0xF7}}, {{0xF0, 0x52, 0x01, 0xF7}}},
    {"SplitAcrossPieces", {{0xF0, 0x52}, {0x01}, {0x02, 0xF7}}, {{0xF0, 0x52, 0x01, 0x02, 0xF7}}},
    {"TwoInOnePiece",
     {{0xF0, 0x01, 0xF7, 0xF0, 0x02, 0xF7}},
     {{0xF0, 0x01, 0xF7}, {0xF0, 0x02, 0xF7}}},
    {"RealTimeBytesInsideArePassedOver",
     {{0xF0, 0x01, 0xF8}, {0xFE, 0x02, 0xF7}},
     {{0xF0, 0x01, 0x02, 0xF7}}},
    {"BytesOutsideAMessageAreIgnored",
     {{0x90, 0x40, 0x7F, 0xF7, 0x00}, {0xF0, 0x05, 0xF7}},
     {{0xF0, 0x05, 0xF7}}},
    {"StatusByteDropsTheUnfinishedMessage", {{0xF0, 0x01, 0x90, 0x02, 0xF7}}, {}},
    {"NewStartDropsTheUnfinishedMessage", {{0xF0, 0x01}, {0xF0, 0x02, 0xF7}}, {{0xF0, 0x02, 0xF7}}},
    {"EmptyPiecesChangeNothing", {{}, {0xF0}, {}, {0xF7}}, {{0xF0, 0xF7}}},
};

class Assembler : public ::testing::TestWithParam<Case> {};

TEST_P(Assembler, DeliversWholeMessagesOnly) {
    EXPECT_EQ(assemble(GetParam().pieces), GetParam().messages);
}

INSTANTIATE_TEST_SUITE_P(Pieces, Assembler, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Assembler, MessageLongerThanTheLimitIsDroppedAndTheNextOneStillArrives) {
    Bytes endless = {0xF0};
    endless.insert(endless.end(), 200, 0x11);
    endless.push_back(0xF7);
    const Bytes fits = {0xF0, 0x22, 0xF7};
    EXPECT_EQ(assemble({endless, fits}, 64), (std::vector<Bytes>{fits}));

    Bytes atLimit = {0xF0};
    atLimit.insert(atLimit.end(), 62, 0x11);
    atLimit.push_back(0xF7);
    EXPECT_EQ(assemble({atLimit}, 64), (std::vector<Bytes>{atLimit}));
}

}  // namespace
}  // namespace pxr9::testing
