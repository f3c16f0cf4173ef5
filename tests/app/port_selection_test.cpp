#include "midi/port_selection.h"

#include <gtest/gtest.h>

namespace pxr9::testing {
namespace {

const std::string kName0Utf8 = "USB \u30aa\u30fc\u30c7\u30a3\u30aa \u30c7\u30d0\u30a4\u30b9";

TEST(PortNames, FirstNameKeepsItsShiftJisBytesAndHasAUtf8Form) {
    const std::vector<std::uint8_t> shiftJis{0x55, 0x53, 0x42, 0x20, 0x83, 0x49, 0x81, 0x5B,
                                             0x83, 0x66, 0x83, 0x42, 0x83, 0x49, 0x20, 0x83,
                                             0x66, 0x83, 0x6F, 0x83, 0x43, 0x83, 0x58};
    const auto stored = portNames(NameEncoding::ShiftJis)[0];
    EXPECT_EQ(std::vector<std::uint8_t>(stored.begin(), stored.end()), shiftJis);
    EXPECT_EQ(portNames(NameEncoding::Utf8)[0], kName0Utf8);
}

struct SelectCase {
    const char* name;
    int copy;
    NameEncoding encoding;
    std::vector<std::string> items;
    int selected;
    friend void PrintTo(const SelectCase& c, std::ostream* os) { *os << c.name; }
};

class SelectPortTest : public ::testing::TestWithParam<SelectCase> {};

TEST_P(SelectPortTest, PicksTheLastExactMatch) {
    const auto& c = GetParam();
    EXPECT_EQ(selectPort(c.items, portPatterns(c.copy, c.encoding)), c.selected);
}

const std::string kName0ShiftJis = portNames(NameEncoding::ShiftJis)[0];
constexpr auto U = NameEncoding::Utf8;

INSTANTIATE_TEST_SUITE_P(
    Cases, SelectPortTest,
    ::testing::Values(
        SelectCase{"PlainNameForCopy1", 1, U, {"Other", "KEVO PXR-9"}, 1},
        SelectCase{"EveryNameCounts", 1, U, {"KEVO T Series", "x", "KEVO RN Series"}, 2},
        SelectCase{"LongerNameMatchedByItsOwnPattern", 1, U, {"KEVO PXR-9 MIDI", "x"}, 0},
        SelectCase{"TwoEqualNamesHigherWins",
                   1,
                   U,
                   {"USB Audio Device", "Other", "USB Audio Device", "Other"},
                   2},
        SelectCase{"Copy2TakesItsSuffix", 2, U, {"KEVO PXR-9 (2)", "KEVO PXR-9"}, 0},
        SelectCase{"Copy2NeverThePlainName", 2, U, {"KEVO PXR-9", "KEVO PXR-9 (3)"}, -1},
        SelectCase{"Copy1NeverASuffix", 1, U, {"KEVO PXR-9 (2)"}, -1},
        SelectCase{"Copy20", 20, U, {"KEVO PXR-9 (2)", "USB Audio Device (20)"}, 1},
        SelectCase{"CaseDiffers", 1, U, {"kevo pxr-9", "KEVO Pxr-9"}, -1},
        SelectCase{"TrailingBlank", 1, U, {"KEVO PXR-9 "}, -1},
        SelectCase{"LeadingBlank", 1, U, {" KEVO PXR-9"}, -1},
        SelectCase{"Prefix", 1, U, {"KEVO PXR"}, -1},
        SelectCase{"UnreadableNameIsEmpty", 1, U, {"", "KEVO PXR-9"}, 1},
        SelectCase{"UnicodeName", 1, U, {kName0Utf8}, 0},
        SelectCase{"ShiftJisBytesOnAUtf8Platform", 1, U, {kName0ShiftJis}, -1},
        SelectCase{"ShiftJisPlatform", 1, NameEncoding::ShiftJis, {"x", kName0ShiftJis}, 1},
        SelectCase{"NoDevices", 1, U, {}, -1}),
    [](const auto& info) { return std::string(info.param.name); });

// A device list whose answers the test scripts.
class ScriptedDevices final : public PortList {
  public:
    std::vector<int> counts;  // answered in turn; the last one repeats
    std::vector<std::pair<bool, std::string>> names;
    int asked = 0;

    int count() override {
        const int n = counts[std::min<std::size_t>(asked, counts.size() - 1)];
        ++asked;
        return n;
    }
    bool name(int index, std::string& name) override {
        name = names[index].second;
        return names[index].first;
    }
};

TEST(ListDeviceNames, OneItemPerDeviceEvenWhenItsNameCannotBeRead) {
    ScriptedDevices devices;
    devices.counts = {3};
    devices.names = {{true, "A"}, {false, "garbage"}, {true, std::string("B\0tail", 6)}};
    EXPECT_EQ(listDeviceNames(devices), (std::vector<std::string>{"A", "", "B"}));
}

TEST(ListDeviceNames, AsksTheCountBeforeEveryItem) {
    ScriptedDevices devices;
    devices.names = {{true, "A"}, {true, "B"}, {true, "C"}};
    devices.counts = {3, 2};  // a device goes away during the scan
    EXPECT_EQ(listDeviceNames(devices), (std::vector<std::string>{"A", "B"}));
    EXPECT_EQ(devices.asked, 3);
}

}  // namespace
}  // namespace pxr9::testing
