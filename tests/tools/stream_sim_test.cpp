// The simulated device served over byte streams, the way pxr9-sim serves a rawmidi port.
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <future>

#include "../platform/midi/pipe_stream.h"
#include "../sim/sim_requests.h"
#include "tools/sim/rawmidi_sim_ports.h"

namespace pxr9::testing {
namespace {

using namespace pxr9::tools;

// Reads whole SysEx messages from a pipe; a guard against a hang, not a timing check.
Bytes readMessages(int fd, int count) {
    Bytes got;
    int ends = 0;
    while (ends < count) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 60000) <= 0) break;
        std::uint8_t byte = 0;
        if (::read(fd, &byte, 1) != 1) break;
        got.push_back(byte);
        if (byte == 0xF7) ++ends;
    }
    return got;
}

TEST(RawMidiSimPorts, ServesABlockThatArrivesInPiecesAndEndsWithItsInput) {
    int toDevice[2];
    int fromDevice[2];
    ASSERT_EQ(::pipe(toDevice), 0);
    ASSERT_EQ(::pipe(fromDevice), 0);
    SimToolOptions options;
    options.config.timing = sim::TimingModel::instant();
    std::promise<void> ended;
    RawMidiSimPorts ports(options, [&ended] { ended.set_value(); });
    std::string error;
    ASSERT_TRUE(ports.serve(std::make_unique<testing::PipeSource>(toDevice[0]),
                            std::make_unique<testing::PipeSink>(fromDevice[1]), error))
        << error;

    const Bytes data = counting(4096, 3);
    Bytes requests = flashErase(0x071000, 0x1000);
    const Bytes block = writeBlock(0x071000, data);
    requests.insert(requests.end(), block.begin(), block.end());
    for (std::size_t at = 0; at < requests.size(); at += 97) {
        const std::size_t n = std::min<std::size_t>(97, requests.size() - at);
        ASSERT_EQ(::write(toDevice[1], requests.data() + at, n), static_cast<ssize_t>(n));
    }
    const Bytes ok = {0xF0, 0x52, 0x00, 0x6E, 0x00, 0x00, 0xF7};
    Bytes bothOk = ok;
    bothOk.insert(bothOk.end(), ok.begin(), ok.end());
    EXPECT_EQ(readMessages(fromDevice[0], 2), bothOk);

    ::close(toDevice[1]);  // the port goes away
    ended.get_future().wait();
    ports.stop();
    const auto flash = ports.device().flash().subspan(0x071000, data.size());
    EXPECT_EQ(Bytes(flash.begin(), flash.end()), data);
    ::close(fromDevice[0]);
}

}  // namespace
}  // namespace pxr9::testing
