#include "test_util.h"
#include "transitions/group_timing.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace qv {
namespace {

// A stored line whose text from column 65 on is `column`.
GroupSlot slotWithColumn(const std::string& column) {
    GroupSlot slot;
    const std::string line = std::string(kTimecodeColumn, '.') + column;
    slot.store(line, 1);
    return slot;
}

// The group rows are written without printf; every number must come out as
// printf writes it, signs, widths and extremes included.
TEST(ReportBlock, NumbersAsPrintfWritesThem) {
    std::mt19937_64 rng(5);
    std::vector<long long> values = {0,       1,        -1,        9,        -9,
                                     10,      99999999, 100000000, -9999999, -10000000,
                                     INT_MAX, INT_MIN,  LLONG_MAX, LLONG_MIN};
    for (int i = 0; i < 2000; ++i)
        values.push_back(static_cast<long long>(rng()) >> (rng() % 64));
    char expected[64];
    for (long long value : values)
        for (int width : {0, 4, 8}) {
            ReportBlock block;
            block.put("[").putNumber(value, width).put("]");
            std::snprintf(expected, sizeof expected, "[%*lld]", width, value);
            EXPECT_EQ(block.text(), expected) << value << " width " << width;
            const auto raw = static_cast<std::uint32_t>(value);
            ReportBlock hex;
            hex.putHex8(raw);
            std::snprintf(expected, sizeof expected, "%08x", raw);
            EXPECT_EQ(hex.text(), expected) << raw;
        }
}

TEST(GroupTiming, ReadsTimecodeColumnAsBase16) {
    struct Case {
        std::string column;
        std::int32_t raw;
        std::int32_t fields;
    };
    const Case cases[] = {
        {"01023004 dst 0130\n", 0x01023004, 225008},
        {"01000000\n", 0x01000000, 216000},
        {"0000001A\n", 0x1A, 40},
        {"0102\n", 0x102, 64},                // line ends inside the column
        {"0102", 0x102, 64},                  // last line without a newline
        {"  123456\n", 0x123456, 45352},      // leading blanks skipped
        {"80000000\n", 0x7FFFFFFF, 18964230}, // clamped
        {"FfFfFfFf\n", 0x7FFFFFFF, 18964230}, // either case, clamped
        {"010230045\n", 0x01023004, 225008},  // at most eight characters
        {"0x1A\n", 0x1A, 40},                 // prefix accepted
        {"0abcdef0\n", 0x0ABCDEF0, 2608140},  // digits above 9 keep their value
        {"\n", 0, 0},                         // nothing in the column
        {"zz000000\n", 0, 0},                 // no digits
    };
    for (const Case& c : cases) {
        const GroupSlot slot = slotWithColumn(c.column);
        EXPECT_EQ(readTimecode(slot), c.raw) << c.column;
        EXPECT_EQ(timecodeToFields(readTimecode(slot)), c.fields) << c.column;
    }
}

TEST(GroupTiming, MisreadTimecodes) {
    for (const char* sound : {"00000000\n", "23595929\n", "12345612", "01023004 dst\n"})
        EXPECT_FALSE(timecodeMisread(slotWithColumn(sound))) << sound;
    for (const char* misread :
         {"24000000\n", "00600000\n", "00006000\n", "00000030\n", "0000001a\n", "7FFFFFFF\n",
          "  123456\n", "0x123456\n", "0102\n", "\n", "-1000000\n"})
        EXPECT_TRUE(timecodeMisread(slotWithColumn(misread))) << misread;
}

TEST(GroupTiming, LineEndingBeforeTheColumnGivesZero) {
    GroupSlot slot;
    slot.store(std::string(64, 'x') + "\n", 1); // newline at column 64
    EXPECT_EQ(readTimecode(slot), 0);
    slot.store("short line\n", 2);
    EXPECT_EQ(readTimecode(slot), 0);
    // Bytes past the stored read, left from a longer line, are not read.
    slot.store(std::string(kTimecodeColumn, '.') + "01000000\n", 3);
    slot.store("short\n", 4);
    EXPECT_EQ(readTimecode(slot), 0);
}

TEST(GroupTiming, ConvertsBcdTimecodesToFields) {
    EXPECT_EQ(timecodeToFields(0), 0);
    EXPECT_EQ(timecodeToFields(0x00000001), 2);
    EXPECT_EQ(timecodeToFields(0x00000100), 60);
    EXPECT_EQ(timecodeToFields(0x00010000), 3600);
    EXPECT_EQ(timecodeToFields(0x23595929), 5183998); // last frame of a day
    EXPECT_EQ(timecodeToFields(-16), 36244200);       // 0xFFFFFFF0: all digits 15 but the last
}

class GroupStatistics : public ::testing::Test {
  protected:
    test::ConsoleCapture console_;
    Report report_{console_.console(), nullptr};
    TransitionAnalysis analysis_{TransitionOptions{}, report_};
    FileStats& fileStats = analysis_.fileStats;
    TransitionGroup& transitionGroup = analysis_.transitionGroup;

    // Slot `kind` holds a line at `fields` (an even count below one hour).
    void setTime(LineKind kind, int fields) {
        const int frames = fields / 2 % 30;
        const int seconds = fields / 60 % 60;
        const int minutes = fields / 3600;
        char column[16];
        std::snprintf(column, sizeof column, "00%02d%02d%02d\n", minutes, seconds, frames);
        transitionGroup.slots[kind].store(std::string(kTimecodeColumn, ' ') + column, 9);
    }

    void setGroup(int start, int xfer, int revBus, int done, int debug, int revBlk, int router) {
        setTime(START, start);
        setTime(XFER, xfer);
        setTime(REV_BUS, revBus);
        setTime(DONE, done);
        setTime(DEBUG_RTR, debug);
        setTime(REV_BLK, revBlk);
        setTime(ROUTER_01, router);
    }
};

TEST_F(GroupStatistics, DelaysUseTheSlotsOfTheGroupType) {
    setGroup(100, 200, 310, 400, 250, 330, 220);
    const GroupDelays fade = computeGroupDelays(transitionGroup, GroupType::Fade);
    EXPECT_EQ(fade.fields[Rev2Router], 110); // REV_BLK - router
    EXPECT_EQ(fade.fields[RtrCmd2Status], 50);
    EXPECT_EQ(fade.fields[RtrCmd2MX], 20);
    const GroupDelays mix = computeGroupDelays(transitionGroup, GroupType::Mix);
    EXPECT_EQ(mix.fields[Rev2Router], 90); // REV_BUS - router
    EXPECT_EQ(mix.fields[RtrCmd2Status], 50);
    EXPECT_EQ(mix.fields[RtrCmd2MX], 20);
}

// A group across midnight: sound delays the short way round, a misread one
// as read, the report flag and the statistics from the mended values.
TEST_F(GroupStatistics, MidnightDelaysTakeTheShortWayUnlessMisread) {
    const auto put = [this](LineKind kind, const char* column) {
        transitionGroup.slots[kind].store(std::string(kTimecodeColumn, ' ') + column + "\n", 9);
    };
    put(START, "23595900");
    put(XFER, "23595920");
    put(ROUTER_01, "00000002"); // 12 frames after XFER
    put(REV_BLK, "23595925");   // before the router line: negative Rev2Router
    put(DEBUG_RTR, "00000010");
    put(DONE, "00000010");
    GroupDelays d = computeGroupDelays(transitionGroup, GroupType::Fade);
    EXPECT_EQ(d.fields[RtrCmd2MX], 24);
    EXPECT_EQ(d.fields[RtrCmd2Status], 40);
    EXPECT_EQ(d.fields[Rev2Router], -14);
    analyzeFadeGroup(analysis_, 0, 0, 0);
    EXPECT_EQ(fileStats.delays[Rev2Router].min, -14);
    EXPECT_EQ(fileStats.delays[RtrCmd2MX].max, 24);
    EXPECT_NE(console_.text().find("MIN DELTA     "
                                   "     -14"),
              std::string::npos);
    EXPECT_NE(console_.text().find("XFER  Time is  5183980"), std::string::npos); // unchanged

    put(DEBUG_RTR, "00000060"); // frame 60: misread, the difference stays raw
    d = computeGroupDelays(transitionGroup, GroupType::Fade);
    EXPECT_FALSE(d.sound[RtrCmd2Status]);
    EXPECT_EQ(d.fields[RtrCmd2Status], 120 - 5183980);
    EXPECT_TRUE(d.sound[RtrCmd2MX]);

    // At 25 frames/s the same column is another time, and frame 25 misread.
    put(DEBUG_RTR, "00000010");
    put(XFER, "23595925");
    const Timebase pal(FrameRate::Fps25);
    d = computeGroupDelays(transitionGroup, GroupType::Fade, pal);
    EXPECT_FALSE(d.sound[RtrCmd2MX]);
    put(XFER, "23595920");
    d = computeGroupDelays(transitionGroup, GroupType::Fade, pal);
    EXPECT_EQ(d.fields[RtrCmd2MX], 14); // 5 frames to midnight, 2 after
}

TEST_F(GroupStatistics, MinMaxAreStrictBoundsAndSumsAddEveryGroup) {
    setGroup(0, 100, 0, 0, 100, 90, 100); // delays -10, 0, 0
    analyzeFadeGroup(analysis_, 0, 1, 0);
    EXPECT_EQ(fileStats.delays[Rev2Router].min, -10);
    EXPECT_EQ(fileStats.delays[Rev2Router].max, 0); // no delay above the starting bound
    EXPECT_EQ(fileStats.delays[RtrCmd2Status].min, 0);
    EXPECT_EQ(fileStats.delays[RtrCmd2Status].max, 0);

    setGroup(0, 100, 140, 0, 140, 0, 120); // mix: delays 20, 40, 20
    analyzeMixGroup(analysis_, 1, 1, 0);
    EXPECT_EQ(fileStats.delays[Rev2Router].min, -10);
    EXPECT_EQ(fileStats.delays[Rev2Router].max, 20);
    EXPECT_EQ(fileStats.delays[Rev2Router].sum, 10);
    EXPECT_EQ(fileStats.delays[RtrCmd2Status].sum, 40);
    EXPECT_EQ(fileStats.delays[RtrCmd2MX].min, 0);
    EXPECT_EQ(fileStats.delays[RtrCmd2MX].max, 20);
    EXPECT_EQ(fileStats.delays[RtrCmd2MX].sum, 20);

    resetFileStats(analysis_);
    setGroup(0, 0, 0, 0, 0, 0, 0);
    transitionGroup.slots[REV_BLK].store(std::string(kTimecodeColumn, ' ') + "90000000\n", 9);
    analyzeFadeGroup(analysis_, 0, 1, 0); // delay 1 of 18964230 fields: above the minimum's bound
    EXPECT_EQ(fileStats.delays[Rev2Router].min, 65535);
    EXPECT_EQ(fileStats.delays[Rev2Router].max, 18964230);
}

} // namespace
} // namespace qv
