#include <gtest/gtest.h>

#include "sim/fault_script_text.h"

namespace pxr9::testing {
namespace {

using namespace pxr9::sim;

using K = RequestKind;
using T = FaultType;

struct GoodCase {
    const char* text;
    std::vector<FaultRule> rules;
    const char* canonical;  // formatFaultScript of the result
};

TEST(SimFaultText, ParsesEveryRuleForm) {
    const GoodCase cases[] = {
        {"", {}, ""},
        {" , ;", {}, ""},
        {"write-block@5=refuse:2",
         {{K::WriteBlock, Occurrences::only(5), {T::Refuse, 2}}},
         "write-block@5=refuse:2"},
        {"flash-erase@1-6=refuse:1",
         {{K::FlashErase, Occurrences::range(1, 6), {T::Refuse, 1}}},
         "flash-erase@1-6=refuse:1"},
        {"memory-read@2=no-answer",
         {{K::MemoryRead, Occurrences::only(2), {T::NoAnswer, 0}}},
         "memory-read@2=no-answer"},
        {"identity@1=identity:0x00100001",
         {{K::IdentityRequest, Occurrences::only(1), {T::Identity, 0x00100001}}},
         "identity@1=identity:0x00100001"},
        {"update-start=refuse:11",
         {{K::UpdateStart, Occurrences::every(), {T::Refuse, 11}}},
         "update-start=refuse:11"},
        {"write-block@10=silent",
         {{K::WriteBlock, Occurrences::only(10), {T::Silent, 0}}},
         "write-block@10=silent"},
        {"write-block@10-=silent",
         {{K::WriteBlock, Occurrences::from(10), {T::Silent, 0}}},
         "write-block@10-=silent"},
        {"write-block@2=twice",
         {{K::WriteBlock, Occurrences::only(2), {T::Twice, 0}}},
         "write-block@2=twice"},
        {"write-block=stray:0, flash-erase=stray-read",
         {{K::WriteBlock, Occurrences::every(), {T::Stray, 0}},
          {K::FlashErase, Occurrences::every(), {T::Stray, kStrayReadData}}},
         "write-block=stray:0,flash-erase=stray-read"},
        {"update-end@3=late:0x10",
         {{K::UpdateEnd, Occurrences::only(3), {T::Late, 16}}},
         "update-end@3=late:16"},
        {"memory-read=bad-crc",
         {{K::MemoryRead, Occurrences::every(), {T::BadCrc, 0}}},
         "memory-read=bad-crc"},
        {"memory-read@1=wrong-byte5",
         {{K::MemoryRead, Occurrences::only(1), {T::WrongByte5, 0}}},
         "memory-read@1=wrong-byte5:0x00"},
        {"memory-read@1-1=wrong-byte6:0x31",
         {{K::MemoryRead, Occurrences::only(1), {T::WrongByte6, 0x31}}},
         "memory-read@1=wrong-byte6:0x31"},
        {"identity@1=no-answer, update-start@1-=late:500;flash-erase=refuse:0x7F",
         {{K::IdentityRequest, Occurrences::only(1), {T::NoAnswer, 0}},
          {K::UpdateStart, Occurrences::from(1), {T::Late, 500}},
          {K::FlashErase, Occurrences::every(), {T::Refuse, 127}}},
         "identity@1=no-answer,update-start=late:500,flash-erase=refuse:127"},
    };
    for (const GoodCase& c : cases) {
        SCOPED_TRACE(c.text);
        const FaultScriptParse parsed = parseFaultScript(c.text);
        ASSERT_TRUE(parsed.script) << parsed.error;
        EXPECT_EQ(parsed.script->rules(), c.rules);
        const std::string text = formatFaultScript(*parsed.script);
        EXPECT_EQ(text, c.canonical);
        EXPECT_EQ(parseFaultScript(text).script, parsed.script);  // the text form round-trips
    }
}

TEST(SimFaultText, RejectsBrokenRulesAndSaysWhich) {
    const char* cases[] = {
        "write-block",                              // no action
        "write-block=",                             // empty action
        "write-blocks=silent",                      // unknown kind
        "=silent",                                  // no kind
        "write-block@=silent",                      // empty occurrences
        "write-block@0=silent",                     // occurrences count from 1
        "write-block@5-3=silent",                   // backwards range
        "write-block@-3=silent",                    // range without start
        "write-block@x=silent",                     // not a number
        "write-block@1-2-3=silent",                 // two dashes
        "write-block@99999999999999999999=silent",  // too big
        "write-block=explode",                      // unknown action
        "write-block=silent:1",                     // value where none belongs
        "write-block=refuse",                       // value missing
        "write-block=refuse:",                      // value empty
        "write-block=refuse:0",                     // 0 is success, not a refusal
        "write-block=refuse:128",                   // not a data byte
        "write-block=refuse:-1",                    // no signs
        "write-block=late:0",                       // no delay
        "write-block=stray:128",                    // no such status
        "write-block=stray",                        // no status
        "write-block=late:86400001",                // absurd delay
        "write-block=identity:0x00100001",          // identity word on another kind
        "identity=identity:0x00100080",             // byte not below 0x80
        "identity=identity:0x100000000",            // more than 32 bits
        "identity=identity",                        // word missing
        "update-end=bad-crc",                       // Read Data faults only for memory-read
        "flash-erase=wrong-byte5:1",
        "memory-read=wrong-byte5:0x04",  // that is the right byte
        "memory-read=wrong-byte6:0x30",
        "memory-read=wrong-byte6:0x80",
        "memory-read=bad-crc:1",
    };
    for (const char* text : cases) {
        SCOPED_TRACE(text);
        const FaultScriptParse parsed = parseFaultScript(text);
        EXPECT_FALSE(parsed.script);
        EXPECT_NE(parsed.error.find(text), std::string::npos) << parsed.error;
    }
    // One bad rule spoils the script and is the one named.
    const FaultScriptParse mixed = parseFaultScript("update-start=refuse:11,write-block=oops");
    EXPECT_FALSE(mixed.script);
    EXPECT_NE(mixed.error.find("write-block=oops"), std::string::npos);
}

}  // namespace
}  // namespace pxr9::testing
