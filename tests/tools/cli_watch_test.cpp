// `pxr9-cli ports --watch` over a fake port watch: the lists, then one line per port that
// came or went and the lists again on each change, until the run is stopped as a signal would.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <sstream>
#include <streambuf>
#include <thread>

#include "tests/doubles/fake_port_watch.h"
#include "tests/doubles/virtual_world.h"
#include "tools/cli/cli_session.h"
#include "tools/cli/port_listing.h"

namespace pxr9::testing {
namespace {

using namespace pxr9::tools;

// Only a guard for a broken test; the text comes as soon as the run has taken the lists.
constexpr auto kGuard = std::chrono::seconds(120);

// What a run writes from its thread, for the test's to wait on.
class SharedText final : public std::streambuf {
  public:
    std::string text() {
        std::lock_guard lock(mutex_);
        return text_;
    }
    // True once the text is `expected`; false, leaving it for the failure, after the guard.
    bool becomes(const std::string& expected) {
        std::unique_lock lock(mutex_);
        return grown_.wait_for(lock, kGuard, [&] { return text_ == expected; });
    }

  protected:
    int_type overflow(int_type c) override {
        if (c != traits_type::eof()) xsputn(reinterpret_cast<const char*>(&c), 1);
        return c;
    }
    std::streamsize xsputn(const char* s, std::streamsize n) override {
        {
            std::lock_guard lock(mutex_);
            text_.append(s, static_cast<std::size_t>(n));
        }
        grown_.notify_all();
        return n;
    }

  private:
    std::mutex mutex_;
    std::condition_variable grown_;
    std::string text_;
};

std::string lists(const std::vector<std::string>& names, int chosen) {
    std::ostringstream out;
    printPortList(out, "MIDI IN", names, chosen);
    printPortList(out, "MIDI OUT", names, chosen);
    return out.str();
}

struct WatchRun {
    explicit WatchRun(bool withWatch = true) : out(&text), surface(out, err, false) {
        UpdaterPlatform platform = world.platform();
        if (withWatch) platform.portWatch = &watch;
        session = std::make_unique<CliSession>(platform, surface, out, err);
    }
    void start(std::vector<std::string> args) {
        const CliArgs parsed = parseCliArgs(args);
        ASSERT_TRUE(parsed.command.has_value()) << parsed.error;
        runner = std::thread([this, command = *parsed.command] { code = session->run(command); });
    }
    // A run a failed test left behind is stopped as a signal would.
    ~WatchRun() {
        if (!runner.joinable()) return;
        session->abort();
        runner.join();
    }
    int end() {
        runner.join();
        return code;
    }

    VirtualWorld world;
    FakePortWatch watch;
    SharedText text;
    std::ostream out;
    std::ostringstream err;
    ConsoleSurface surface;
    std::unique_ptr<CliSession> session;
    std::thread runner;
    int code = -1;
};

TEST(CliPortsWatch, ListsAgainOnEachChangeAfterALinePerPortThatCameOrWent) {
    WatchRun r;
    r.world.setPorts({"Other"}, 0);
    r.start({"ports", "--watch"});
    std::string expected = lists({"Other"}, -1);
    ASSERT_TRUE(r.text.becomes(expected)) << r.text.text();

    r.world.setPorts({"Other", "KEVO PXR-9"}, 1);
    r.watch.announce();
    expected +=
        "+ MIDI IN 1  KEVO PXR-9\n+ MIDI OUT 1  KEVO PXR-9\n" + lists({"Other", "KEVO PXR-9"}, 1);
    ASSERT_TRUE(r.text.becomes(expected)) << r.text.text();

    // A word that changed nothing prints nothing: only the next change follows.
    r.watch.announce();
    r.world.setPorts({"KEVO PXR-9", "Synth"}, 0);
    r.watch.announce();
    expected +=
        "- MIDI IN 0  Other\n+ MIDI IN 1  Synth\n- MIDI OUT 0  Other\n"
        "+ MIDI OUT 1  Synth\n" +
        lists({"KEVO PXR-9", "Synth"}, 0);
    ASSERT_TRUE(r.text.becomes(expected)) << r.text.text();

    // SIGINT or SIGTERM: the run ends as a success, the watch stopped.
    r.session->abort();
    EXPECT_EQ(r.end(), kExitSuccess);
    EXPECT_FALSE(r.watch.running());
    EXPECT_EQ(r.text.text(), expected);
    EXPECT_EQ(r.err.str(), "");
}

TEST(CliPortsWatch, AStopBeforeTheRunWaitsStillEndsIt) {
    WatchRun r;
    r.world.setPorts({"KEVO PXR-9"}, 0);
    r.session->abort();
    r.start({"ports", "--watch", "--instance", "2"});
    EXPECT_EQ(r.end(), kExitSuccess);
    EXPECT_EQ(r.text.text(), lists({"KEVO PXR-9"}, -1));
    EXPECT_FALSE(r.watch.running());
}

TEST(CliPortsWatch, WithoutAWatchItSaysSoAndFails) {
    WatchRun r(false);
    r.start({"ports", "--watch"});
    EXPECT_EQ(r.end(), kExitFailure);
    EXPECT_EQ(r.text.text(), "");
    EXPECT_EQ(r.err.str(), "pxr9-cli: the MIDI ports cannot be watched here\n");
}

TEST(PortEvents, NameTheSamePortByNameAndOccurrence) {
    using Names = std::vector<std::string>;
    struct Case {
        const char* what;
        Names before;
        Names after;
        std::vector<PortEvent> events;
    };
    const Case cases[] = {
        {"nothing changed", {"A", "B"}, {"A", "B"}, {}},
        {"one came before the others", {"A"}, {"B", "A"}, {{true, 0, "B"}}},
        {"gone ones first, numbered as they were",
         {"A", "B", "C"},
         {"C", "D"},
         {{false, 0, "A"}, {false, 1, "B"}, {true, 1, "D"}}},
        {"a second of two equal names went", {"T", "T"}, {"T"}, {{false, 1, "T"}}},
        {"a second of equal names came", {"T"}, {"T", "X", "T"}, {{true, 1, "X"}, {true, 2, "T"}}},
    };
    for (const Case& c : cases) EXPECT_EQ(portEvents(c.before, c.after), c.events) << c.what;
}

}  // namespace
}  // namespace pxr9::testing
