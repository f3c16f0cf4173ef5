// The console updater's command line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/cli/cli_options.h"

namespace pxr9::testing {
namespace {

using namespace pxr9::tools;

struct Case {
    std::vector<std::string> args;
    bool ok;
    CliVerb verb = CliVerb::Ports;
    std::optional<PortArg> in = std::nullopt;
    std::optional<PortArg> out = std::nullopt;
    int instance = 1;
    bool verify = false;
    bool json = false;
    bool watch = false;
};

PortArg number(std::int32_t n) {
    return {n, {}};
}
PortArg name(std::string text) {
    return {std::nullopt, std::move(text)};
}

TEST(CliArgs, Table) {
    const std::vector<Case> cases = {
        {{"ports"}, true, CliVerb::Ports},
        {{"ports", "--instance", "3"}, true, CliVerb::Ports, {}, {}, 3},
        {{"ports", "--watch", "--instance", "2"},
         true,
         CliVerb::Ports,
         {},
         {},
         2,
         false,
         false,
         true},
        {{"update"}, true, CliVerb::Update},
        {{"update", "--in", "2", "--out", "KEVO PXR-9", "--verify"},
         true,
         CliVerb::Update,
         number(2),
         name("KEVO PXR-9"),
         1,
         true},
        {{"update", "--out", "007"}, true, CliVerb::Update, {}, number(7)},
        // Only plain digits are a number; anything else is a name to match.
        {{"version", "--in", "0x1", "--out", "2b"},
         true,
         CliVerb::Version,
         name("0x1"),
         name("2b")},
        {{"version", "--instance", "20"}, true, CliVerb::Version, {}, {}, 20},
        {{"update", "--json", "--verify"}, true, CliVerb::Update, {}, {}, 1, true, true},
        {{"version", "--json"}, true, CliVerb::Version, {}, {}, 1, false, true},
        {{}, false},
        {{"flash"}, false},
        {{"update", "--in"}, false},
        {{"update", "--in", ""}, false},
        {{"update", "--in", "1", "--in", "2"}, false},
        {{"update", "--instance", "0"}, false},
        {{"update", "--instance", "21"}, false},
        {{"update", "--instance", "1", "--instance", "2"}, false},
        {{"update", "--verify", "--verify"}, false},
        {{"version", "--verify"}, false},
        {{"ports", "--json"}, false},
        {{"ports", "--watch", "--watch"}, false},
        {{"update", "--watch"}, false},
        {{"update", "--json", "--json"}, false},
        {{"ports", "--in", "1"}, false},
        {{"update", "--force"}, false},
        {{"update", "extra"}, false},
    };
    for (const Case& c : cases) {
        std::string line;
        for (const auto& a : c.args) line += a + " ";
        const CliArgs parsed = parseCliArgs(c.args);
        ASSERT_EQ(parsed.command.has_value(), c.ok) << line << parsed.error;
        EXPECT_FALSE(parsed.help) << line;
        if (!c.ok) {
            EXPECT_FALSE(parsed.error.empty()) << line;
            continue;
        }
        const CliCommand& cmd = *parsed.command;
        EXPECT_EQ(cmd.verb, c.verb) << line;
        EXPECT_EQ(cmd.in, c.in) << line;
        EXPECT_EQ(cmd.out, c.out) << line;
        EXPECT_EQ(cmd.instance, c.instance) << line;
        EXPECT_EQ(cmd.verify, c.verify) << line;
        EXPECT_EQ(cmd.json, c.json) << line;
        EXPECT_EQ(cmd.watch, c.watch) << line;
    }
}

TEST(CliArgs, Help) {
    EXPECT_TRUE(parseCliArgs({"--help"}).help);
    EXPECT_TRUE(parseCliArgs({"update", "-h"}).help);
}

}  // namespace
}  // namespace pxr9::testing
