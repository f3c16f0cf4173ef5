// A port held by someone else: who holds it, what the user is told, and the paced way in
// through the sequencer's bridge buffer.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <string>
#include <vector>

#include "platform/midi/alsa/paced_sink.h"
#include "platform/midi/alsa/rawmidi_holders.h"
#include "platform/midi/port_notes.h"
#include "platform/midi/stream/blocking_sender.h"
#include "recorder_fixture.h"

namespace pxr9::testing {
namespace {

TEST(RawMidiPlace, FromTheBackendsAddress) {
    struct Case {
        const char* address;
        bool valid;
        RawMidiPlace place;
    };
    const Case cases[] = {
        {"hw:1,0,0", true, {1, 0, 0}},
        {"hw:3,2,5", true, {3, 2, 5}},
        {"hw:1,0", true, {1, 0, 0}},
        {"hw:1", false, {}},
        {"hw:1,0,0,0", false, {}},
        {"hw:a,0,0", false, {}},
        {"hw:1,,0", false, {}},
        {"hw:-1,0,0", false, {}},
        {"hw:999,0,0", false, {}},
        {"default", false, {}},
        {"", false, {}},
        {"hw:1, 0,0", false, {}},
    };
    for (const Case& c : cases) {
        const auto place = parseRawMidiPlace(c.address);
        ASSERT_EQ(place.has_value(), c.valid) << c.address;
        if (!place) continue;
        EXPECT_EQ(place->card, c.place.card) << c.address;
        EXPECT_EQ(place->device, c.place.device) << c.address;
        EXPECT_EQ(place->substream, c.place.substream) << c.address;
    }
}

// /proc/asound/card1/midi0 of a USB device whose output the sequencer bridge holds, with a
// second substream closed and an input held by a program.
constexpr const char* kProcMidi =
    "KEVO PXR-9\n"
    "\n"
    "KEVO KEVO PXR-9 at usb-dummy_hcd.0-1, full speed\n"
    "\n"
    "Output 0\n"
    "  Tx bytes     : 4711\n"
    "  Owner PID    : 812\n"
    "  Mode         : native\n"
    "  Buffer size  : 4096\n"
    "  Avail        : 3072\n"
    "Output 1\n"
    "  Tx bytes     : 0\n"
    "Input 0\n"
    "  Rx bytes     : 99\n"
    "  Owner PID    : 900\n"
    "  Buffer size  : 65536\n"
    "  Avail        : 0\n"
    "  Overruns     : 0\n";

TEST(RawMidiProc, ReadsOwnerAndRoomOfOneSubstream) {
    const auto out0 = parseRawMidiProc(kProcMidi, true, 0);
    ASSERT_TRUE(out0.has_value());
    EXPECT_TRUE(out0->open);
    EXPECT_EQ(out0->ownerPid, 812);
    EXPECT_EQ(out0->bufferSize, 4096);
    EXPECT_EQ(out0->avail, 3072);

    const auto out1 = parseRawMidiProc(kProcMidi, true, 1);
    ASSERT_TRUE(out1.has_value());
    EXPECT_FALSE(out1->open);
    EXPECT_EQ(out1->ownerPid, -1);

    const auto in0 = parseRawMidiProc(kProcMidi, false, 0);
    ASSERT_TRUE(in0.has_value());
    EXPECT_EQ(in0->ownerPid, 900);
    EXPECT_EQ(in0->bufferSize, 65536);

    EXPECT_FALSE(parseRawMidiProc(kProcMidi, false, 1).has_value());
    EXPECT_FALSE(parseRawMidiProc("", true, 0).has_value());
    // Cut short or garbled: what is readable counts, the rest stays unknown.
    const auto cut = parseRawMidiProc("Output 0\n  Owner PID    : 8x\n  Buffer size  :", true, 0);
    ASSERT_TRUE(cut.has_value());
    EXPECT_FALSE(cut->open);
    EXPECT_EQ(cut->bufferSize, -1);
}

TEST(BusyCause, NamesWhatHoldsThePortAndHowToFreeIt) {
    PortHolders listened;
    listened.portName = "KEVO PXR-9";
    listened.seqClient = 20;
    listened.seqPort = 0;
    listened.listeners = {{128, 0, "aseqdump", 812}};
    PortHolders writtenTo = listened;
    writtenTo.output = true;
    writtenTo.listeners = {{129, 0, "Midi Bridge", -1}, {130, 1, "", 901}};
    PortHolders opened;
    opened.portName = "KEVO PXR-9 (2)";
    opened.output = true;
    opened.ownerPid = 4242;
    opened.ownerName = "amidi";
    PortHolders unknown;
    unknown.portName = "KEVO PXR-9";

    struct Case {
        const PortHolders& holders;
        const char* text;
    };
    const Case cases[] = {
        {listened,
         "MIDI In \"KEVO PXR-9\" is busy: the ALSA sequencer holds it for aseqdump (client 128, "
         "process 812). To free it, close that program or disconnect it (aconnect -d 20:0 128:0)."},
        {writtenTo,
         "MIDI Out \"KEVO PXR-9\" is busy: the ALSA sequencer holds it for Midi Bridge (client "
         "129) and a program (client 130, process 901). To free it, close those programs or "
         "disconnect them (aconnect -d 129:0 20:0; aconnect -d 130:1 20:0)."},
        {opened,
         "MIDI Out \"KEVO PXR-9 (2)\" is busy: amidi (process 4242) has it open. To free it, "
         "close that program."},
        {unknown,
         "MIDI In \"KEVO PXR-9\" is busy: another program has it open. To free it, close the "
         "programs that use MIDI (a sound server's MIDI bridge, a music program)."},
    };
    for (const Case& c : cases) EXPECT_EQ(busyCause(c.holders), c.text);

    EXPECT_EQ(openFailureCause("KEVO PXR-9", false, "hw:1,0,0", -EACCES),
              "MIDI In \"KEVO PXR-9\" cannot be opened (hw:1,0,0): Permission denied. The user "
              "needs to be in the group audio.");
    EXPECT_EQ(openFailureCause("KEVO PXR-9", true, "hw:1,0,0", -ENOENT),
              "MIDI Out \"KEVO PXR-9\" cannot be opened (hw:1,0,0): No such file or directory.");
}

TEST(PortNotes, AFailureIsToldAtOnceAndTakenOnce) {
    PortNotes notes;
    std::vector<std::string> told;
    notes.setListener([&told](const std::string& text) { told.push_back(text); });
    notes.note(true, "out held", true);
    notes.note(false, "in reached anyway", false);
    EXPECT_EQ(told, (std::vector<std::string>{"out held", "in reached anyway"}));
    EXPECT_EQ(notes.takeFailure(false), "");  // a way around is no failure
    EXPECT_EQ(notes.takeFailure(true), "out held");
    EXPECT_EQ(notes.takeFailure(true), "");
    notes.note(true, "out held again", true);
    notes.clear(true);  // a later open that worked
    EXPECT_EQ(notes.takeFailure(true), "");
}

TEST(PacedSink, PiecesFitWithAReserveAndShrinkWithTheBuffer) {
    struct Case {
        std::size_t wanted;
        BufferRoom room;
        std::size_t piece;
    };
    const Case cases[] = {
        {4700, {4096, 4096}, 1024}, {4700, {4096, 1280}, 1024}, {4700, {4096, 1279}, 0},
        {100, {4096, 356}, 100},    {100, {4096, 355}, 0},      {4700, {1024, 1024}, 512},
        {4700, {1024, 767}, 0},     {4700, {2, 2}, 1},          {0, {4096, 4096}, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PacedSink::pieceFor(c.wanted, c.room), c.piece)
            << c.wanted << " into " << c.room.free << " of " << c.room.size;
    }
}

// The kernel's bridge buffer: 4 KiB, drops a piece that does not fit (and counts it), and
// the device takes some bytes each time someone looks. Another program writes a short
// message now and then.
struct FakeBridge {
    std::size_t size = 4096;
    std::size_t held = 0;
    std::size_t drainPerLook = 700;
    int looks = 0;
    int overruns = 0;
    std::size_t largestPiece = 0;
    Bytes wire;  // what reached the device, ours only

    std::optional<BufferRoom> room() {
        held -= std::min(held, drainPerLook);
        if (++looks % 7 == 0) put(nullptr, 200);  // someone else's message
        return BufferRoom{size, size - held};
    }
    long put(const std::uint8_t* data, std::size_t n) {
        if (size - held < n) {
            ++overruns;
            return static_cast<long>(n);  // dropped, and the sender is not told
        }
        held += n;
        if (data != nullptr) {
            largestPiece = std::max(largestPiece, n);
            wire.insert(wire.end(), data, data + n);
        }
        return static_cast<long>(n);
    }
};

TEST(PacedSink, WholeBlocksCrossTheBridgeWithoutOverrun) {
    FakeBridge bridge;
    PacedSink sink([&] { return bridge.room(); },
                   [&](const std::uint8_t* d, std::size_t n) { return bridge.put(d, n); });
    // Time stands still: every wait ends by the bridge draining, never by the bound.
    BlockingSender sender(sink, std::chrono::milliseconds(10000),
                          [] { return std::chrono::steady_clock::time_point(); });
    Bytes sent;
    for (int i = 0; i < 20; ++i) {
        const Bytes block = sysex(4700, static_cast<std::uint8_t>(i));
        ASSERT_TRUE(sender.send(block.data(), block.size())) << i;
        // Done means the bridge has passed every byte on.
        EXPECT_EQ(bridge.held, 0u) << i;
        sent.insert(sent.end(), block.begin(), block.end());
    }
    EXPECT_EQ(bridge.overruns, 0);
    EXPECT_LE(bridge.largestPiece, PacedSink::kPiece);
    EXPECT_EQ(bridge.wire, sent);
}

TEST(PacedSink, ADeviceThatStopsTakingOrVanishesFailsTheSend) {
    FakeBridge bridge;
    std::atomic<std::int64_t> ms{0};
    bool gone = false;
    PacedSink sink(
        [&]() -> std::optional<BufferRoom> {
            if (gone) return std::nullopt;
            const auto room = bridge.room();
            if (room->free < room->size) ms += 10001;  // stuck: time runs past the bound
            return room;
        },
        [&](const std::uint8_t* d, std::size_t n) { return bridge.put(d, n); });
    BlockingSender sender(sink, std::chrono::milliseconds(10000), [&] {
        return std::chrono::steady_clock::time_point(std::chrono::milliseconds(ms.load()));
    });
    bridge.drainPerLook = 0;
    const Bytes block = sysex(4700);
    EXPECT_FALSE(sender.send(block.data(), block.size()));
    EXPECT_EQ(bridge.overruns, 0);
    EXPECT_FALSE(sender.deviceGone()) << "a device that stalls may take bytes again";

    bridge.held = 0;
    gone = true;
    BlockingSender later(sink);
    EXPECT_FALSE(later.send(block.data(), block.size()));
    EXPECT_TRUE(later.deviceGone()) << "its buffer can no longer be read";
}

}  // namespace
}  // namespace pxr9::testing
