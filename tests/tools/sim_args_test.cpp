// The simulated device's command line, and the stamp text it shares with its report.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "tools/sim/sim_options.h"
#include "tools/sim/stamp_text.h"

namespace pxr9::testing {
namespace {

using namespace pxr9::tools;

using sim::makeStamp;

struct GoodCase {
    const char* name;
    std::vector<std::string> args;
    std::function<void(const SimToolOptions&)> check;
};

void PrintTo(const GoodCase& c, std::ostream* os) {
    *os << c.name;
}

const GoodCase kGood[] = {
    {"Defaults",
     {},
     [](const SimToolOptions& o) {
         EXPECT_EQ(o.portName(), "KEVO PXR-9");
         EXPECT_EQ(o.config.timing.eraseNsPerByte, sim::TimingModel{}.eraseNsPerByte);
         EXPECT_TRUE(o.faults.empty());
         EXPECT_EQ(o.reportPath, "");
     }},
    {"InstanceOneKeepsThePlainName",
     {"--instance", "1"},
     [](const SimToolOptions& o) { EXPECT_EQ(o.portName(), "KEVO PXR-9"); }},
    {"InstanceTwoAppendsItsNumber",
     {"--name", "USB Audio Device", "--instance", "2"},
     [](const SimToolOptions& o) { EXPECT_EQ(o.portName(), "USB Audio Device (2)"); }},
    {"TimingAppliesInOrder",
     {"--block-ms", "7", "--instant", "--reply-ms", "3"},
     [](const SimToolOptions& o) {
         EXPECT_EQ(o.config.timing.writeBlockUs, 0u);
         EXPECT_EQ(o.config.timing.eraseNsPerByte, 0u);
         EXPECT_EQ(o.config.timing.replyLatencyUs, 3000u);
     }},
    {"EraseRate",
     {"--erase-ns-per-byte", "0x10"},
     [](const SimToolOptions& o) { EXPECT_EQ(o.config.timing.eraseNsPerByte, 16u); }},
    {"FaultsAccumulateInOrder",
     {"--fault", "write-block@5=refuse:2", "--fault", "memory-read=bad-crc,update-end=no-answer"},
     [](const SimToolOptions& o) {
         ASSERT_EQ(o.faults.rules().size(), 3u);
         EXPECT_EQ(o.faults.rules()[0].kind, sim::RequestKind::WriteBlock);
         EXPECT_EQ(o.faults.rules()[2].kind, sim::RequestKind::UpdateEnd);
     }},
    {"Stamps",
     {"--boot-stamp", "0.90", "--preset-stamp", "\\xFF\\xFF\\xFF\\xFF", "--system-stamp",
      "1.\\x001"},
     [](const SimToolOptions& o) {
         EXPECT_EQ(o.config.stamps.boot, makeStamp("0.90"));
         EXPECT_EQ(o.config.stamps.preset, (sim::VersionStamp{0xFF, 0xFF, 0xFF, 0xFF}));
         EXPECT_EQ(o.config.stamps.system, (sim::VersionStamp{'1', '.', 0x00, '1'}));
     }},
    {"Identity",
     {"--identity", "0x00100001"},
     [](const SimToolOptions& o) { EXPECT_EQ(o.config.identity, 0x00100001u); }},
    {"Report",
     {"--report", "/tmp/r.json"},
     [](const SimToolOptions& o) { EXPECT_EQ(o.reportPath, "/tmp/r.json"); }},
    {"RawMidiDeviceKeepsTheFaultsAndTheName",
     {"--rawmidi", "/dev/snd/midiC1D0", "--fault", "write-block@5=refuse:2"},
     [](const SimToolOptions& o) {
         EXPECT_EQ(o.rawmidi, "/dev/snd/midiC1D0");
         EXPECT_EQ(o.faults.rules().size(), 1u);
         EXPECT_EQ(o.portName(), "KEVO PXR-9");
     }},
};

class SimArgsGood : public ::testing::TestWithParam<GoodCase> {};

TEST_P(SimArgsGood, Parse) {
    const SimArgs parsed = parseSimArgs(GetParam().args);
    ASSERT_TRUE(parsed.options.has_value()) << parsed.error;
    GetParam().check(*parsed.options);
}

INSTANTIATE_TEST_SUITE_P(Options, SimArgsGood, ::testing::ValuesIn(kGood),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SimArgs, RefusedWithAReason) {
    const std::vector<std::vector<std::string>> refused = {
        {"--bogus", "1"},
        {"--name"},  // value missing
        {"--name", ""},
        {"--instance", "0"},
        {"--instance", "21"},
        {"--instance", "-1"},
        {"--block-ms", "ten"},
        {"--reply-ms", "86400001"},
        {"--erase-ns-per-byte", "99999999999999999999999"},  // beyond 64 bits
        {"--fault", "write-block@0=refuse:2"},
        {"--fault", "flash-erase=identity:0x10"},
        {"--boot-stamp", "1.0"},
        {"--boot-stamp", "1.000"},
        {"--boot-stamp", "1.0\\x4"},
        {"--identity", "0x0010806E"},  // a byte of 0x80 cannot travel in SysEx
        {"--identity", "0x100000000"},
        {"--rawmidi", ""},
    };
    for (const auto& args : refused) {
        const SimArgs parsed = parseSimArgs(args);
        EXPECT_FALSE(parsed.options.has_value()) << args[0];
        EXPECT_FALSE(parsed.help);
        EXPECT_FALSE(parsed.error.empty()) << args[0];
    }
}

TEST(SimArgs, HelpIsNoError) {
    const SimArgs parsed = parseSimArgs({"--instant", "--help"});
    EXPECT_TRUE(parsed.help);
    EXPECT_FALSE(parsed.options.has_value());
}

TEST(StampText, EscapedFormReadsBackToTheSameBytes) {
    const std::vector<std::pair<sim::VersionStamp, std::string>> cases = {
        {makeStamp("1.10"), "1.10"},
        {{0xFF, 0xFF, 0xFF, 0xFF}, "\\xFF\\xFF\\xFF\\xFF"},
        {{'1', 0x00, '\\', 0x7F}, "1\\x00\\\\\\x7F"},
        {{'"', ' ', '~', 0x1F}, "\" ~\\x1F"},
    };
    for (const auto& [stamp, text] : cases) {
        EXPECT_EQ(escapeStamp(stamp), text);
        EXPECT_EQ(parseStamp(text), stamp) << text;
    }
    EXPECT_EQ(parseStamp("\\q123"), std::nullopt);
    EXPECT_EQ(parseStamp("\\xG0123"), std::nullopt);
    EXPECT_EQ(parseStamp("12\xC3\xA9"), std::nullopt);  // no raw bytes beyond ASCII
}

TEST(StampText, JsonStringEscapesQuotesBackslashesAndControls) {
    EXPECT_EQ(jsonString("a\"b\\c\x01"), "\"a\\\"b\\\\c\\u0001\"");
}

}  // namespace
}  // namespace pxr9::testing
