// What a port list shows when devices come and go: the selection follows its device by name
// and occurrence, a gone device stays selected as gone, and an empty selection takes the
// copy's own device.
#include "midi/port_follow.h"

#include <gtest/gtest.h>

namespace pxr9::testing {
namespace {

using Names = std::vector<std::string>;

struct FollowCase {
    const char* what;
    Names names;
    std::optional<PortIdentity> selected;
    int instance;
    int expectSelected;
    std::optional<PortIdentity> expectGone;
};

class FollowPorts : public ::testing::TestWithParam<FollowCase> {};

TEST_P(FollowPorts, SelectsAsTheRulesSay) {
    const FollowCase& c = GetParam();
    SCOPED_TRACE(c.what);
    const FollowedList list =
        followPorts(c.names, c.selected, portPatterns(c.instance, kPlatformNameEncoding));
    EXPECT_EQ(list.names, c.names) << "the devices keep their numbers";
    EXPECT_EQ(list.selected, c.expectSelected);
    EXPECT_EQ(list.gone, c.expectGone);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FollowPorts,
    ::testing::Values(
        FollowCase{"a device before the selected one came: the selection moves with it",
                   {"Synth", "Other", "KEVO PXR-9"},
                   PortIdentity{"Other", 0},
                   1,
                   1,
                   {}},
        FollowCase{"a hand-made choice stays even when the copy's own device is there",
                   {"KEVO PXR-9", "Other"},
                   PortIdentity{"Other", 0},
                   1,
                   1,
                   {}},
        FollowCase{"of two equal names, the second stays the second",
                   {"Twin", "New", "Twin"},
                   PortIdentity{"Twin", 1},
                   1,
                   2,
                   {}},
        FollowCase{"the first of two equal names went: the remaining one is not it",
                   {"Twin"},
                   PortIdentity{"Twin", 1},
                   1,
                   1,
                   PortIdentity{"Twin", 1}},
        FollowCase{"the selected device went: shown as gone, after every device",
                   {"Other", "KEVO PXR-9 (2)"},
                   PortIdentity{"KEVO PXR-9", 0},
                   1,
                   2,
                   PortIdentity{"KEVO PXR-9", 0}},
        FollowCase{"every device went",
                   {},
                   PortIdentity{"KEVO PXR-9", 0},
                   1,
                   0,
                   PortIdentity{"KEVO PXR-9", 0}},
        FollowCase{"a gone device that comes back is selected again",
                   {"Other", "KEVO PXR-9"},
                   PortIdentity{"KEVO PXR-9", 0},
                   1,
                   1,
                   {}},
        FollowCase{"nothing selected: the copy's own device, the last one named like it",
                   {"KEVO PXR-9", "Other", "KEVO PXR-9 MIDI"},
                   std::nullopt,
                   1,
                   2,
                   {}},
        FollowCase{"nothing selected, copy 2: only the numbered name",
                   {"KEVO PXR-9", "KEVO PXR-9 (2)"},
                   std::nullopt,
                   2,
                   1,
                   {}},
        FollowCase{"nothing selected and no device of the copy's: nothing",
                   {"KEVO PXR-9", "Other"},
                   std::nullopt,
                   3,
                   -1,
                   {}},
        FollowCase{"an unnamed device keeps its place and can be the selection",
                   {"", "Other", ""},
                   PortIdentity{"", 1},
                   1,
                   2,
                   {}}),
    [](const ::testing::TestParamInfo<FollowCase>& info) {
        return "case" + std::to_string(info.index);
    });

TEST(PortIdentity, IsTheNameAndHowOftenItCameBefore) {
    const Names names{"A", "B", "A", "A"};
    EXPECT_EQ(identityAt(names, 3), (PortIdentity{"A", 2}));
    EXPECT_EQ(identityAt(names, 1), (PortIdentity{"B", 0}));
    EXPECT_EQ(identityAt(names, -1), std::nullopt);
    EXPECT_EQ(identityAt(names, 4), std::nullopt);
    for (int k = 0; k < static_cast<int>(names.size()); ++k) {
        EXPECT_EQ(findIdentity(names, *identityAt(names, k)), k);
    }
    EXPECT_EQ(findIdentity(names, {"A", 3}), -1);
    EXPECT_EQ(findIdentity(names, {"C", 0}), -1);
}

}  // namespace
}  // namespace pxr9::testing
