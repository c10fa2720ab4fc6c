#include "test_util.h"
#include "transitions/transitions.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace qv {
namespace {

// One log line with its timecode at column 65.
std::string logLine(const char* process, const char* message, const char* timecode) {
    char text[160];
    std::snprintf(text, sizeof text, "12/08/26 01:00:00.000 %-8s %-34s%s\n", process, message,
                  timecode);
    return text;
}

// One analysis across the files of a test, as a run keeps it; summary mode,
// so nothing is printed.
class TransitionScanner : public ::testing::Test {
  protected:
    void scan(const std::string& log) {
        resetFileStats(analysis_);
        MemorySource input(log);
        LineReader reader(input);
        scanTransitions(reader, analysis_);
    }

    test::ConsoleCapture console_;
    Report report_{console_.console(), nullptr};
    TransitionAnalysis analysis_{TransitionOptions{"WQVX", "dst 0130", "lev 00", false, 1, false},
                                 report_};
    const FileStats& fileStats = analysis_.fileStats;
    const TransitionGroup& transitionGroup = analysis_.transitionGroup;
};

std::string fadeGroup() {
    return logLine("WQVX", "DOFADE:START", "01000000") +        // 1
           logLine("WQVX", "XFER XITION", "01000002") +         // 2
           logLine("RTRCTL", "RTR TAKE dst 0130", "01000004") + // 3
           logLine("WQVX", "goto REV-BUS", "01000006") +        // 4
           logLine("WQVX", "goto REV-BLK", "01000008") +        // 5
           logLine("WQVX", "DBGRTRTIME", "01000010") +          // 6
           logLine("WQVX", "DOFADE:DONE", "01000012");          // 7
}

std::string mixGroup() {
    return logLine("WQVX", "XFER XITION", "02000000") +
           logLine("WQVX", "DOMIX:swrtr goto rev-bus", "02000002") +
           logLine("RTRCTL", "RTR TAKE dst 0130", "02000004") +
           logLine("WQVX", "DBGRTRTIME", "02000006") +
           logLine("WQVX", "DOMIX:swrtr trans done", "02000008");
}

TEST_F(TransitionScanner, SlotsCarryOverFromGroupToGroupAndFileToFile) {
    scan(fadeGroup() + mixGroup());
    EXPECT_EQ(fileStats.transitionCount, 2);
    EXPECT_EQ(fileStats.startlineCount, 2);
    const GroupSlot* slots = transitionGroup.slots;
    EXPECT_EQ(slots[START].lineNumber, 1); // the mix left the fade's START and REV_BLK
    EXPECT_EQ(slots[REV_BLK].lineNumber, 5);
    EXPECT_EQ(slots[XFER].lineNumber, 8);
    EXPECT_EQ(slots[ROUTER_01].lineNumber, 10);

    // The next file ends inside a mix: it is dropped, its lines stay stored.
    scan(logLine("WQVX", "XFER XITION", "03000000") +
         logLine("WQVX", "DOMIX:swrtr goto rev-bus", "03000002"));
    EXPECT_EQ(fileStats.lineCount, 2);
    EXPECT_EQ(fileStats.startlineCount, 1);
    EXPECT_EQ(fileStats.transitionCount, 0);
    EXPECT_EQ(fileStats.blockErrorCount, 0);
    EXPECT_EQ(slots[XFER].lineNumber, 1);
    EXPECT_EQ(slots[REV_BUS].lineNumber, 2);
    EXPECT_EQ(slots[START].view(), logLine("WQVX", "DOFADE:START", "01000000"));
    EXPECT_EQ(slots[DONE].lineNumber, 12); // from the first file's mix
    EXPECT_EQ(transitionGroup.lineMask, 0x58u);
}

TEST_F(TransitionScanner, RouterSlotsFillInOrderAndOverflowDropsTheGroup) {
    scan(fadeGroup()); // DONE slot: line 7
    std::string log =
        logLine("WQVX", "DOFADE:START", "01000000") + logLine("WQVX", "XFER XITION", "01000002") +
        logLine("WQVX", "goto REV-BUS", "01000004") + logLine("WQVX", "goto REV-BLK", "01000006") +
        logLine("WQVX", "DBGRTRTIME", "01000008");
    for (int i = 0; i < 29; ++i) // lines 6 to 34
        log += logLine("RTRCTL", "RTR TAKE dst 0130", "01000010");
    log += logLine("WQVX", "DOFADE:DONE", "01000012"); // too late: the group is gone
    scan(log);
    EXPECT_EQ(fileStats.startlineCount, 1);
    EXPECT_EQ(fileStats.transitionCount, 0);
    EXPECT_EQ(fileStats.blockErrorCount, 0);
    EXPECT_EQ(transitionGroup.lineMask, 0x08u);
    EXPECT_EQ(transitionGroup.slots[kFirstRouterSlot].lineNumber, 6);
    EXPECT_EQ(transitionGroup.slots[kSlotCount - 1].lineNumber, 34);
    EXPECT_EQ(transitionGroup.slots[DONE].lineNumber, 7);
}

} // namespace
} // namespace qv
