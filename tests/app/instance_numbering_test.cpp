#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QFileInfo>
#include <cstdio>
#include <vector>

#include "app/updater_app.h"
#include "platform/instance_lock.h"
#include "tests/app/fake_platform.h"

extern char** environ;

namespace pxr9::testing {
namespace {

// Names of this test run only, so parallel runs and a running program never meet.
std::string testBase(const char* what) {
    return "pxr9 numbering test " + std::to_string(::getpid()) + " " + what;
}

// A copy of the program in its own process: started, it reports its number; it ends when
// told to or when killed.
class Probe {
  public:
    explicit Probe(const std::string& base) {
        int toChild[2];
        int fromChild[2];
        if (::pipe2(toChild, O_CLOEXEC) != 0 || ::pipe2(fromChild, O_CLOEXEC) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, toChild[0], 0);
        posix_spawn_file_actions_adddup2(&actions, fromChild[1], 1);
        std::string path = PXR9_INSTANCE_PROBE;
        std::string arg = base;
        char* argv[] = {path.data(), arg.data(), nullptr};
        if (posix_spawn(&pid_, path.c_str(), &actions, nullptr, argv, environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(toChild[0]);
        ::close(fromChild[1]);
        input_ = toChild[1];
        output_ = ::fdopen(fromChild[0], "r");
        // Blocks until the child has taken (or failed to take) its number.
        if (pid_ < 0 || std::fscanf(output_, "%d", &number_) != 1) number_ = -1;
    }
    ~Probe() {
        end();
        if (output_) std::fclose(output_);
    }

    int number() const { return number_; }

    // Ends normally: its input closes and it returns from main.
    void end() {
        if (input_ >= 0) ::close(input_);
        input_ = -1;
        reap();
    }
    void kill9() {
        if (pid_ > 0) ::kill(pid_, SIGKILL);
        end();
    }

  private:
    void reap() {
        if (pid_ > 0) ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

    pid_t pid_ = -1;
    int input_ = -1;
    FILE* output_ = nullptr;
    int number_ = -1;
};

TEST(InstanceNumbering, CopiesTakeTheLowestFreeNumberAcrossProcesses) {
    const auto base = testBase("lowest");
    auto first = std::make_unique<Probe>(base);
    Probe second(base);
    auto third = std::make_unique<Probe>(base);
    EXPECT_EQ(first->number(), 1);
    EXPECT_EQ(second.number(), 2);
    EXPECT_EQ(third->number(), 3);

    first->end();
    Probe reuses1(base);
    EXPECT_EQ(reuses1.number(), 1);

    // A killed copy frees its number as well; nothing stale is left behind.
    third->kill9();
    Probe reuses3(base);
    EXPECT_EQ(reuses3.number(), 3);
    Probe next(base);
    EXPECT_EQ(next.number(), 4);
}

TEST(InstanceNumbering, TwentyFirstCopyFindsNoNumber) {
    const auto base = testBase("full");
    std::vector<NumberedInstance> held;
    for (int n = 1; n <= 20; ++n) {
        auto taken = takeInstanceNumber(base);
        ASSERT_TRUE(taken);
        EXPECT_EQ(taken->number, n);
        held.push_back(std::move(*taken));
    }
    Probe refused(base);
    EXPECT_EQ(refused.number(), 0);

    held.erase(held.begin() + 6);
    Probe seventh(base);
    EXPECT_EQ(seventh.number(), 7);
}

TEST(InstanceNumbering, NamesAreExactTexts) {
    EXPECT_EQ(instanceName(kUpdaterTitle, 1), "KEVO PXR-9 System v1.10 Updater");
    EXPECT_EQ(instanceName(kUpdaterTitle, 2), "KEVO PXR-9 System v1.10 Updater (2)");
    // A name that differs only in its number suffix is another name.
    const auto base = testBase("exact");
    auto plain = InstanceLock::tryAcquire(base);
    ASSERT_TRUE(plain);
    EXPECT_FALSE(InstanceLock::tryAcquire(base));
    EXPECT_TRUE(InstanceLock::tryAcquire(base + " (1)"));
}

TEST(UpdaterApp, RunsTheDialogWithItsNumberAndHoldsItUntilItEnds) {
    const auto base = testBase("app");
    RecordingBoxes boxes;
    int ranWith = 0;
    int seenByOther = -1;
    UpdaterApp app(
        boxes,
        [&](int n) {
            ranWith = n;
            Probe other(base);
            seenByOther = other.number();
        },
        base);
    EXPECT_FALSE(app.InitInstance());
    EXPECT_EQ(ranWith, 1);
    EXPECT_EQ(app.instanceNumber(), 1);
    EXPECT_EQ(seenByOther, 2);
    EXPECT_TRUE(boxes.shown.empty());
}

TEST(UpdaterApp, RefusesWithoutADialogWhenAllNumbersAreTaken) {
    const auto base = testBase("refuse");
    std::vector<NumberedInstance> held;
    while (auto taken = takeInstanceNumber(base)) held.push_back(std::move(*taken));
    ASSERT_EQ(held.size(), 20u);

    RecordingBoxes boxes;
    bool ran = false;
    UpdaterApp app(
        boxes, [&](int) { ran = true; }, base);
    EXPECT_FALSE(app.InitInstance());
    EXPECT_FALSE(ran);
    EXPECT_EQ(app.instanceNumber(), 0);
    const QString caption = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
    const ShownBox refusal{
        QStringLiteral("It is forbidden to launch more than 20 instance of this application."),
        caption, BoxIcon::Warning};
    EXPECT_EQ(boxes.shown, std::vector{refusal});
}

}  // namespace
}  // namespace pxr9::testing
