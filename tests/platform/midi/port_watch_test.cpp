// The ALSA side of the port watch, on a folder of its own: which device nodes change the port
// lists, the folder appearing after the watch began, and the watch's thread.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <thread>

#include "platform/midi/alsa/snd_dir_watch.h"
#include "platform/midi/jack/jack_port_signal.h"
#include "platform/midi/polled_port_watch.h"

namespace pxr9::testing {
namespace {

namespace fs = std::filesystem;

// Only a guard for a broken test; the expected calls come as soon as the file system changes.
constexpr auto kGuard = std::chrono::seconds(60);

class TempFolder {
  public:
    TempFolder() {
        std::string pattern = (fs::temp_directory_path() / "pxr9-watch-XXXXXX").string();
        path_ = mkdtemp(pattern.data());
    }
    ~TempFolder() { fs::remove_all(path_); }
    const fs::path& path() const { return path_; }

  private:
    fs::path path_;
};

void touch(const fs::path& path) {
    std::ofstream(path).put('\0');
}

TEST(SndDirWatch, TellsOfTheNodesThatPortListsAreMadeOf) {
    TempFolder temp;
    const fs::path snd = temp.path() / "snd";
    fs::create_directory(snd);
    SndDirWatch watch(snd.string());
    ASSERT_GE(watch.begin(), 0);

    struct Step {
        const char* what;
        std::function<void()> change;
        bool tells;
    };
    const Step steps[] = {
        {"a card's control node comes", [&] { touch(snd / "controlC1"); }, true},
        {"its rawmidi node comes", [&] { touch(snd / "midiC1D0"); }, true},
        {"a PCM node comes", [&] { touch(snd / "pcmC1D0p"); }, false},
        {"the sequencer's node comes", [&] { touch(snd / "seq"); }, false},
        {"the device manager grants the rawmidi node",
         [&] { fs::permissions(snd / "midiC1D0", fs::perms::owner_all); }, true},
        {"a udev link folder comes", [&] { fs::create_directory(snd / "by-id"); }, false},
        {"the rawmidi node goes", [&] { fs::remove(snd / "midiC1D0"); }, true},
        {"the PCM node goes", [&] { fs::remove(snd / "pcmC1D0p"); }, false},
        {"the control node goes", [&] { fs::remove(snd / "controlC1"); }, true},
    };
    for (const Step& step : steps) {
        step.change();
        EXPECT_EQ(watch.takeChanges(), step.tells) << step.what;
        EXPECT_FALSE(watch.takeChanges()) << step.what << ": told once";
    }
}

TEST(SndDirWatch, WatchesForTheFolderUntilItExistsAndAgainAfterItWent) {
    TempFolder temp;
    const fs::path snd = temp.path() / "snd";
    SndDirWatch watch(snd.string());
    ASSERT_GE(watch.begin(), 0) << "the parent is watched while the folder is missing";
    EXPECT_FALSE(watch.takeChanges());

    touch(temp.path() / "other");
    EXPECT_FALSE(watch.takeChanges()) << "another file in the parent";

    fs::create_directory(snd);
    EXPECT_TRUE(watch.takeChanges()) << "the folder came, possibly with cards in it";
    touch(snd / "controlC0");
    EXPECT_TRUE(watch.takeChanges()) << "a card in the new folder";

    fs::remove_all(snd);
    EXPECT_TRUE(watch.takeChanges()) << "the folder went with every card";
    fs::create_directory(snd);
    EXPECT_TRUE(watch.takeChanges()) << "and came again";
    touch(snd / "midiC0D0");
    EXPECT_TRUE(watch.takeChanges());
}

TEST(SndDirWatch, CannotWatchWithoutTheFolderOrItsParent) {
    SndDirWatch watch("/nonexistent-pxr9/deeper/snd");
    EXPECT_EQ(watch.begin(), -1);
}

// Counts the watch's calls and lets a test wait for the next one.
struct CallLog {
    std::mutex mutex;
    std::condition_variable changed;
    int calls = 0;

    void called() {
        {
            std::lock_guard lock(mutex);
            ++calls;
        }
        changed.notify_all();
    }
    bool waitFor(int count) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, kGuard, [&] { return calls >= count; });
    }
};

// A source that speaks when the test notifies it, as JACK's callbacks do; like every source,
// it forgets at its beginning what was told before.
struct SignalSource final : WatchSource {
    explicit SignalSource(JackPortSignal& s) : signal(s) {}
    int begin() override {
        signal.take();
        return signal.fd();
    }
    bool takeChanges() override { return signal.take(); }
    void end() override {}
    JackPortSignal& signal;
};

TEST(PolledPortWatch, CallsOnItsThreadWhenASourceSpeaks) {
    TempFolder temp;
    SndDirWatch cards(temp.path().string());
    JackPortSignal jack;
    SignalSource jackSource(jack);

    // Told before the watch began: forgotten, as the starter takes fresh lists anyway.
    jack.notify();
    PolledPortWatch watch({&cards, &jackSource});
    CallLog log;
    const std::thread::id caller = std::this_thread::get_id();
    std::thread::id calledOn;
    ASSERT_TRUE(watch.start([&] {
        calledOn = std::this_thread::get_id();
        log.called();
    }));
    EXPECT_FALSE(watch.start([] {})) << "one caller at a time";

    touch(temp.path() / "midiC2D0");
    ASSERT_TRUE(log.waitFor(1));
    jack.notify();
    ASSERT_TRUE(log.waitFor(2));
    watch.stop();
    EXPECT_EQ(log.calls, 2);
    EXPECT_NE(calledOn, caller);

    // Stopped, nothing more is called; started again, it watches again.
    touch(temp.path() / "midiC3D0");
    ASSERT_TRUE(watch.start([&] { log.called(); }));
    jack.notify();
    ASSERT_TRUE(log.waitFor(3));
    watch.stop();
    EXPECT_EQ(log.calls, 3);
}

TEST(PolledPortWatch, StopWaitsForACallInProgress) {
    JackPortSignal signal;
    SignalSource source(signal);
    PolledPortWatch watch({&source});

    std::mutex mutex;
    std::condition_variable changed;
    bool inside = false;
    bool release = false;
    bool finished = false;
    ASSERT_TRUE(watch.start([&] {
        std::unique_lock lock(mutex);
        inside = true;
        changed.notify_all();
        changed.wait(lock, [&] { return release; });
        finished = true;
    }));
    signal.notify();
    {
        std::unique_lock lock(mutex);
        ASSERT_TRUE(changed.wait_for(lock, kGuard, [&] { return inside; }));
    }
    bool finishedWhenStopped = false;
    std::thread stopper([&] {
        watch.stop();
        std::lock_guard lock(mutex);
        finishedWhenStopped = finished;
    });
    {
        std::lock_guard lock(mutex);
        release = true;
    }
    changed.notify_all();
    stopper.join();
    EXPECT_TRUE(finishedWhenStopped);
}

TEST(PolledPortWatch, WithoutAnySourceToWatchItDoesNotStart) {
    SndDirWatch nowhere("/nonexistent-pxr9/deeper/snd");
    PolledPortWatch watch({&nowhere});
    EXPECT_FALSE(watch.start([] {}));
    watch.stop();
}

}  // namespace
}  // namespace pxr9::testing
