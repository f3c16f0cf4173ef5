// What the console shows of a run, in plain (log) mode and redrawn on a terminal.
#include "tools/cli/console_surface.h"

#include <gtest/gtest.h>

#include <sstream>

namespace pxr9::testing {
namespace {

using namespace pxr9::tools;

struct Console {
    explicit Console(bool terminal) : surface(out, err, terminal) {}
    std::ostringstream out;
    std::ostringstream err;
    ConsoleSurface surface;
};

// The calls a write step makes: status before each block, position after it.
void writeBlocks(ConsoleSurface& s, int total, int block) {
    s.setProgressRange(0, total);
    for (int offset = 0; offset < total; offset += block) {
        s.setStatusText("Data transmit  " + std::to_string(offset) + " / " + std::to_string(total) +
                        " ");
        s.setProgressPosition(std::min(offset + block, total));
    }
}

TEST(ConsoleSurfacePlain, OneLinePerStepStatusKindAndTenthOfProgressWithTheStatusThere) {
    Console c(false);
    c.surface.setStepText("0/10");
    c.surface.setStatusText("Erasing Flash memory.");
    c.surface.setStatusText("");
    c.surface.setStepText("1/10");
    c.surface.setProgressRange(0, 10);
    c.surface.setProgressPosition(1);
    c.surface.setStatusText("Erasing Flash memory.");
    c.surface.setProgressPosition(10);
    c.surface.setStepText("2/10");
    c.surface.setStepText("2/10");  // unchanged: nothing new to say
    writeBlocks(c.surface, 100, 4);
    c.surface.setStatusText("Version update completed.");

    EXPECT_EQ(c.out.str(),
              "step 0/10\n"
              "status: Erasing Flash memory.\n"
              "step 1/10\n"
              "progress 10%\n"
              "status: Erasing Flash memory.\n"
              "progress 100%\n"
              "step 2/10\n"
              "status: Data transmit  0 / 100\n"
              "progress 4%\n"
              "progress 12%\n"
              "status: Data transmit  12 / 100\n"
              "progress 20%\n"
              "status: Data transmit  20 / 100\n"
              "progress 32%\n"
              "status: Data transmit  32 / 100\n"
              "progress 40%\n"
              "status: Data transmit  40 / 100\n"
              "progress 52%\n"
              "status: Data transmit  52 / 100\n"
              "progress 60%\n"
              "status: Data transmit  60 / 100\n"
              "progress 72%\n"
              "status: Data transmit  72 / 100\n"
              "progress 80%\n"
              "status: Data transmit  80 / 100\n"
              "progress 92%\n"
              "status: Data transmit  92 / 100\n"
              "progress 100%\n"
              "status: Version update completed.\n");
    EXPECT_EQ(c.err.str(), "");
    EXPECT_EQ(c.surface.status(), "Version update completed.");
}

TEST(ConsoleSurfacePlain, ANewRegionShowsItsStatusAtItsOwnTenthsAgain) {
    Console c(false);
    writeBlocks(c.surface, 40, 10);
    c.out.str("");
    writeBlocks(c.surface, 20, 10);
    // The region's first status differs from the last one only in its numbers: still shown.
    EXPECT_EQ(c.out.str(),
              "status: Data transmit  0 / 20\n"
              "progress 50%\n"
              "status: Data transmit  10 / 20\n"
              "progress 100%\n");
}

TEST(ConsoleSurfacePlain, ProgressOfAnEmptyOrInvertedRangeStaysAtZero) {
    Console c(false);
    c.surface.setProgressRange(5, 5);
    c.surface.setProgressPosition(7);
    c.surface.setProgressRange(10, 0);
    c.surface.setProgressPosition(INT32_MAX);
    c.surface.setProgressRange(INT32_MIN, INT32_MAX);  // no overflow on the widest range
    c.surface.setProgressPosition(INT32_MAX);
    EXPECT_EQ(c.out.str(), "progress 0%\nprogress 0%\nprogress 100%\n");
}

TEST(ConsoleSurfacePlain, ErrorsGoToTheErrorStreamAndReportsToOutput) {
    Console c(false);
    c.surface.showError("Time out error(2)");
    c.surface.showVersionReport("SYSTEM:\t\t1.00 -> 1.10");
    EXPECT_EQ(c.err.str(), "Error: Time out error(2)\n");
    EXPECT_EQ(c.out.str(), "Version Information\nSYSTEM:\t\t1.00 -> 1.10\n");
}

TEST(ConsoleSurfacePlain, SilencedAfterAnAbortButStillRecording) {
    Console c(false);
    c.surface.silence();
    c.surface.setStepText("3/10");
    c.surface.showError("Can't open MIDI Out device.");
    c.surface.setStatusText("Erasing Flash memory.");
    EXPECT_EQ(c.out.str(), "");
    EXPECT_EQ(c.err.str(), "");
    EXPECT_EQ(c.surface.status(), "Erasing Flash memory.");
}

TEST(ConsoleSurfaceTerminal, RedrawsOneLineAndEndsItBeforeAnError) {
    Console c(true);
    c.surface.setStepText("3/10");
    c.surface.setProgressRange(0, 10);
    c.surface.setProgressPosition(5);
    c.surface.setProgressPosition(5);  // same picture: not drawn again
    c.surface.setStatusText("Data transmit  0 / 10 ");
    c.surface.showError("Transfer error occurred.");

    const std::string bar = "[" + std::string(15, '#') + std::string(15, '.') + "]";
    EXPECT_EQ(c.out.str(), "\r3/10  [" + std::string(30, '.') +
                               "]   0%\x1b[K"
                               "\r3/10  " +
                               bar +
                               "  50%\x1b[K"
                               "\r3/10  " +
                               bar +
                               "  50%  Data transmit  0 / 10\x1b[K"
                               "\n");
    EXPECT_EQ(c.err.str(), "Error: Transfer error occurred.\n");
}

}  // namespace
}  // namespace pxr9::testing
