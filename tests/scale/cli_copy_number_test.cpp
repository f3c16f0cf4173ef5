#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "platform/instance_lock.h"
#include "platform/instance_name.h"
#include "tools/cli/copy_number.h"

namespace pxr9::testing {
namespace {

using namespace pxr9::tools;

// Names of this test run only, so a running updater and parallel runs never meet.
std::string testBase() {
    return "pxr9 cli copy test " + std::to_string(::getpid());
}

bool isFree(const std::string& base, int number) {
    return InstanceLock::tryAcquire(instanceName(base, number)).has_value();
}

std::vector<InstanceLock> hold(const std::string& base, const std::vector<int>& numbers) {
    std::vector<InstanceLock> locks;
    for (int n : numbers) {
        auto lock = InstanceLock::tryAcquire(instanceName(base, n));
        EXPECT_TRUE(lock) << "number " << n << " already taken";
        if (lock) locks.push_back(std::move(*lock));
    }
    return locks;
}

std::vector<int> allNumbers() {
    std::vector<int> numbers;
    for (int n = 1; n <= kMaxInstances; ++n) numbers.push_back(n);
    return numbers;
}

struct ClaimCase {
    const char* what;
    CliVerb verb;
    int givenInstance;  // 0: no --instance
    std::vector<int> held;
    bool refused;
    int instance;  // the copy whose ports are pre-selected
    bool takesLock;
};

TEST(CliCopyNumber, TakesTheLowestFreeNumberOnlyWhenNoneIsGiven) {
    const std::vector<ClaimCase> cases = {
        {"first copy", CliVerb::Update, 0, {}, false, 1, true},
        {"after three", CliVerb::Update, 0, {1, 2, 3}, false, 4, true},
        {"a freed number is reused", CliVerb::Update, 0, {1, 3}, false, 2, true},
        {"version numbers too", CliVerb::Version, 0, {1}, false, 2, true},
        {"the twentieth",
         CliVerb::Update,
         0,
         {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19},
         false,
         20,
         true},
        {"all twenty taken", CliVerb::Update, 0, allNumbers(), true, 1, false},
        {"all taken, version", CliVerb::Version, 0, allNumbers(), true, 1, false},
        {"ports needs no number", CliVerb::Ports, 0, allNumbers(), false, 1, false},
        {"ports keeps --instance", CliVerb::Ports, 7, {}, false, 7, false},
        {"--instance names the ports", CliVerb::Update, 5, allNumbers(), false, 5, false},
    };
    for (const ClaimCase& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string base = testBase();
        const auto locks = hold(base, c.held);
        CliCommand command;
        command.verb = c.verb;
        if (c.givenInstance != 0) {
            command.instance = c.givenInstance;
            command.instanceGiven = true;
        }
        {
            const CopyNumberClaim claim = claimCopyNumber(command, base);
            EXPECT_EQ(claim.refused, c.refused);
            EXPECT_EQ(claim.lock.has_value(), c.takesLock);
            EXPECT_EQ(command.instance, c.instance);
            if (c.takesLock) {
                EXPECT_FALSE(isFree(base, c.instance)) << "number not held";
            }
        }
        // The number goes back when the claim ends.
        if (c.takesLock) {
            EXPECT_TRUE(isFree(base, c.instance));
        }
    }
}

TEST(CliCopyNumber, TwoClaimsNeverShareANumber) {
    const std::string base = testBase();
    CliCommand first;
    first.verb = CliVerb::Update;
    CliCommand second = first;
    const CopyNumberClaim a = claimCopyNumber(first, base);
    const CopyNumberClaim b = claimCopyNumber(second, base);
    ASSERT_TRUE(a.lock && b.lock);
    EXPECT_EQ(first.instance, 1);
    EXPECT_EQ(second.instance, 2);
}

TEST(CliCopyNumber, ParsedCommandTellsWhetherTheNumberWasGiven) {
    EXPECT_FALSE(parseCliArgs({"update"}).command->instanceGiven);
    EXPECT_TRUE(parseCliArgs({"update", "--instance", "1"}).command->instanceGiven);
}

TEST(CliCopyNumber, RefusalText) {
    EXPECT_EQ(copyLimitText(),
              "It is forbidden to launch more than 20 instance of this application.");
}

}  // namespace
}  // namespace pxr9::testing
