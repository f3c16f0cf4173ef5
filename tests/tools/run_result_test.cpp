// The console's machine-readable result: always one valid JSON object, whatever bytes the
// device's port names and stamps hold.
#include "tools/cli/run_result.h"

#include <gtest/gtest.h>

#include "tests/tools/json_reader.h"
#include "tools/cli/json_text.h"

namespace pxr9::testing {
namespace {

using namespace pxr9::tools;

// The text as a JSON reader gives it back: valid UTF-8 unchanged, any other byte read as
// the character of the same number.
std::string latin1Fallback(const std::vector<unsigned char>& bytes) {
    std::string text;
    for (unsigned char b : bytes) {
        if (b < 0x80) {
            text += static_cast<char>(b);
        } else {
            text += static_cast<char>(0xC0 | (b >> 6));
            text += static_cast<char>(0x80 | (b & 0x3F));
        }
    }
    return text;
}

TEST(JsonText, EveryTextReadsBackAsItWasOrByteForCharacter) {
    struct Case {
        const char* what;
        std::string text;
        std::string readBack;
    };
    const std::string japanese = "USB \xe3\x82\xaa\xe3\x83\xbc\xe3\x83\x87\xe3\x82\xa3\xe3\x82\xaa";
    const Case cases[] = {
        {"plain", "KEVO PXR-9 (2)", "KEVO PXR-9 (2)"},
        {"quotes and backslashes", "a\"b\\c", "a\"b\\c"},
        {"controls", std::string("1.0\x01\t\n\x7f", 7), std::string("1.0\x01\t\n\x7f", 7)},
        {"a zero byte", std::string("a\0b", 3), std::string("a\0b", 3)},
        {"valid UTF-8", japanese, japanese},
        {"four-byte UTF-8", "\xf0\x9f\x8e\xb9", "\xf0\x9f\x8e\xb9"},
        {"Shift-JIS", "\x83\x49\x81\x5b", latin1Fallback({0x83, 0x49, 0x81, 0x5b})},
        {"truncated sequence", "\xe3\x82", latin1Fallback({0xe3, 0x82})},
        {"overlong form", "\xc0\xaf", latin1Fallback({0xc0, 0xaf})},
        {"surrogate", "\xed\xa0\x80", latin1Fallback({0xed, 0xa0, 0x80})},
        {"beyond U+10FFFF", "\xf4\x90\x80\x80", latin1Fallback({0xf4, 0x90, 0x80, 0x80})},
        {"stamp of 0xFF bytes", "\xff\xff\xff\xff", latin1Fallback({0xff, 0xff, 0xff, 0xff})},
    };
    for (const Case& c : cases) {
        const std::string json = jsonQuoted(c.text);
        const auto value = JsonReader::parse(json);
        ASSERT_TRUE(value.has_value()) << c.what << ": " << json;
        EXPECT_EQ(value->str(), c.readBack) << c.what;
    }
}

TEST(JsonText, ReaderRefusesWhatIsNotJson) {
    // The reader is what the tests above trust; it must not accept broken text.
    for (const std::string bad :
         {"", "{", "{\"a\" 1}", "{\"a\": 1,}", "\"\x01\"", "\"\xff\"", "\"\\x41\"", "\"\\udc00\"",
          "{\"a\": 1, \"a\": 2}", "01", "{} {}"}) {
        EXPECT_FALSE(JsonReader::parse(bad).has_value()) << bad;
    }
}

TEST(RunResultJson, UpdateCarriesPortsOutcomeMessageAndStampsBeforeAndAfter) {
    CliCommand command;
    command.verb = CliVerb::Update;
    RunResult result;
    result.in = PortUsed{2, "KEVO PXR-9 (2)"};
    result.message = "Version update completed.";
    result.before = StampSet{"1.00", "1.00", "0.90"};
    result.after = StampSet{"1.10", "1.00", "1.00"};
    result.carried = StampSet{"1.10", "1.00", std::string("1.0\x01", 4)};

    const auto json = JsonReader::parse(resultJson(command, result, kExitSuccess, false));
    ASSERT_TRUE(json.has_value());
    const auto& r = *json;
    EXPECT_EQ(r["command"].str(), "update");
    EXPECT_EQ(r["exitCode"].number(), 0);
    EXPECT_EQ(r["outcome"].str(), "success");
    EXPECT_EQ(r["message"].str(), "Version update completed.");
    EXPECT_EQ(r["failure"].str(), "");
    EXPECT_EQ(r["ports"]["in"]["device"].number(), 2);
    EXPECT_EQ(r["ports"]["in"]["name"].str(), "KEVO PXR-9 (2)");
    EXPECT_TRUE(r["ports"]["out"].isNull());
    EXPECT_EQ(r["stamps"]["before"]["boot"].str(), "0.90");
    EXPECT_EQ(r["stamps"]["after"]["system"].str(), "1.10");
    EXPECT_EQ(r["stamps"]["carried"]["boot"].str(), std::string("1.0\x01", 4));
    EXPECT_EQ(r["stamps"].object().count("device"), 0u);
}

TEST(RunResultJson, VersionNamesItsReadDeviceAndMissingSetsAreNull) {
    CliCommand command;
    command.verb = CliVerb::Version;
    const auto json = JsonReader::parse(resultJson(command, RunResult{}, kExitFailure, false));
    ASSERT_TRUE(json.has_value());
    EXPECT_EQ((*json)["command"].str(), "version");
    EXPECT_EQ((*json)["message"].str(), "");
    EXPECT_TRUE((*json)["stamps"]["device"].isNull());
    EXPECT_TRUE((*json)["stamps"]["carried"].isNull());
    EXPECT_EQ((*json)["stamps"].object().count("before"), 0u);
}

TEST(RunResultJson, AFailureCarriesItsKindBesideItsTextAndCause) {
    CliCommand command;
    command.verb = CliVerb::Update;
    RunResult result;
    result.message = "Time out error(2)";
    result.cause = "The device was disconnected.";
    result.failure = FailureKind::DeviceGone;
    const auto json = JsonReader::parse(resultJson(command, result, kExitFailure, false));
    ASSERT_TRUE(json.has_value());
    EXPECT_EQ((*json)["outcome"].str(), "failure");
    EXPECT_EQ((*json)["message"].str(), "Time out error(2)");
    EXPECT_EQ((*json)["cause"].str(), "The device was disconnected.");
    EXPECT_EQ((*json)["failure"].str(), "device-gone");
}

TEST(RunResultJson, OutcomeFollowsTheExitCodeAndAnAbort) {
    EXPECT_EQ(outcomeName(kExitSuccess, false), "success");
    EXPECT_EQ(outcomeName(kExitFailure, false), "failure");
    EXPECT_EQ(outcomeName(kExitUsage, false), "usage");
    EXPECT_EQ(outcomeName(kExitStampsDiffer, false), "versions-differ");
    EXPECT_EQ(outcomeName(kExitFailure, true), "aborted");
}

}  // namespace
}  // namespace pxr9::testing
