// A JACK output whose server stops taking data or goes away: a send never waits for ever.
// Runs on a server of its own (a ctest fixture) that the test stops and then kills.
#include <gtest/gtest.h>
#include <signal.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <future>
#include <string>

#include "platform/midi/jack/jack_client.h"
#include "platform/midi/jack/jack_midi_in.h"
#include "platform/midi/jack/jack_midi_out.h"

namespace pxr9::testing {
namespace {

pid_t serverPid() {
    std::ifstream in(PXR9_JACK_PID_FILE);
    pid_t pid = 0;
    in >> pid;
    return pid;
}

// Once the server is stopped, at most the one cycle already under way takes data: of two
// sends in a row on a port, the second is written after that cycle read the ring, so at least
// one of them waits. Their bound is an hour, so only cancel() or the server's end can end the
// wait (a failure shows as the test's timeout). An input on the same client is told the end
// once, and the output then says the device is gone.
TEST(JackServerGone, PendingAndLaterSendsFailAfterCancelOrShutdown) {
    const pid_t server = serverPid();
    ASSERT_GT(server, 0) << "no pid of the test's JACK server";
    std::string why;
    const std::shared_ptr<JackClient> client = JackClient::openWithPorts(
        "pxr9-test-doomed", {{"cancelled", true}, {"orphaned", true}, {"listening", false}}, why);
    ASSERT_NE(client, nullptr) << why;
    constexpr std::chrono::hours kForEver{1};
    auto cancelled = JackMidiOut::open(client, why, kForEver);
    auto orphaned = JackMidiOut::open(client, why, kForEver);
    std::atomic<int> endings{0};
    std::promise<void> ended;
    auto listening = JackMidiIn::open(
        client, [](const std::uint8_t*, std::size_t) {}, why,
        [&] {
            if (endings.fetch_add(1) == 0) ended.set_value();
        });
    ASSERT_TRUE(cancelled && orphaned && listening) << why;
    EXPECT_FALSE(orphaned->deviceGone());
    const std::uint8_t message[] = {0xF0, 0x01, 0x02, 0xF7};
    ASSERT_TRUE(cancelled->send(message, sizeof message));  // the server takes data

    const auto twoSends = [&](JackMidiOut& port) {
        return std::async(std::launch::async, [&] {
            const bool first = port.send(message, sizeof message);
            const bool second = port.send(message, sizeof message);
            return first && second;
        });
    };
    ASSERT_EQ(::kill(server, SIGSTOP), 0);
    auto onCancelled = twoSends(*cancelled);
    auto onOrphaned = twoSends(*orphaned);

    cancelled->cancel();
    EXPECT_FALSE(onCancelled.get());
    EXPECT_FALSE(cancelled->send(message, sizeof message));

    ASSERT_EQ(::kill(server, SIGKILL), 0);
    EXPECT_FALSE(onOrphaned.get());
    EXPECT_TRUE(client->lost());
    EXPECT_TRUE(orphaned->deviceGone());
    EXPECT_FALSE(orphaned->send(message, sizeof message));
    ended.get_future().wait();
    listening.reset();  // its thread has ended: no more calls
    EXPECT_EQ(endings.load(), 1);
}

}  // namespace
}  // namespace pxr9::testing
