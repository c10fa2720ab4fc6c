// The /limit argument: what is a limit and what is refused; the incidents a
// followed run tells as they end.
#include "sinks/delay_limits.h"

#include "test_util.h"

#include <gtest/gtest.h>

namespace qv {
namespace {

TEST(DelayLimits, NamesInAnyCaseAndDecimalFields) {
    DelayLimits limits;
    EXPECT_FALSE(limits.any());
    EXPECT_TRUE(parseDelayLimit("rev2router:0", limits));
    EXPECT_TRUE(parseDelayLimit("RtrCmd2Status:2147483647", limits));
    EXPECT_TRUE(parseDelayLimit("RTRCMD2MX:007", limits));
    EXPECT_EQ(limits.fields[0], 0);
    EXPECT_EQ(limits.fields[1], 2147483647);
    EXPECT_EQ(limits.fields[2], 7);
    EXPECT_TRUE(limits.any());
    EXPECT_TRUE(parseDelayLimit("rtrcmd2mx:12", limits)); // a later one replaces it
    EXPECT_EQ(limits.fields[2], 12);
}

TEST(DelayLimits, AnythingElseIsRefusedAndChangesNothing) {
    DelayLimits limits;
    ASSERT_TRUE(parseDelayLimit("rtrcmd2mx:5", limits));
    for (const char* bad :
         {"", ":5", "rtrcmd2mx", "rtrcmd2mx:", "rtrcmd2mx:x", "rtrcmd2mx:-1", "rtrcmd2mx:+1",
          "rtrcmd2mx: 1", "rtrcmd2mx:1 ", "rtrcmd2mx:1.5", "rtrcmd2mx:2147483648",
          "rtrcmd2mx:99999999999999999999", "rtrcmd2mx:5:6", "rtrcmd2mx=5", " rtrcmd2mx:5",
          "rtrcmd2:5", "rev2routerx:5", "nosuch:5"})
        EXPECT_FALSE(parseDelayLimit(bad, limits)) << "'" << bad << "'";
    EXPECT_EQ(limits.fields[0], DelayLimits::kNoLimit);
    EXPECT_EQ(limits.fields[1], DelayLimits::kNoLimit);
    EXPECT_EQ(limits.fields[2], 5);
}

// A limit in time breaches exactly at the edge of the rate: the largest
// delay that is no breach, per rate, and how the breach line shows a delay.
TEST(DelayLimits, TimeUnitsResolveExactlyAtEachRate) {
    struct Case {
        const char* text;
        FrameRate rate;
        std::int64_t fields; // the largest delay within the limit
    };
    const Case cases[] = {
        {"rtrcmd2mx:10fr", FrameRate::Fps30, 20},
        {"rtrcmd2mx:10fr", FrameRate::Fps25, 20},
        {"rtrcmd2mx:10.5fr", FrameRate::Fps30, 21},
        {"rtrcmd2mx:250ms", FrameRate::Fps30, 15},         // exactly 15 fields
        {"rtrcmd2mx:0.25s", FrameRate::Fps30, 15},         // the same time
        {"rtrcmd2mx:249.9ms", FrameRate::Fps30, 14},       // just under
        {"rtrcmd2mx:250ms", FrameRate::Fps25, 12},         // 12.5 fields
        {"rtrcmd2mx:250ms", FrameRate::Fps2997Drop, 14},   // 14.985 fields
        {"rtrcmd2mx:0.2669s", FrameRate::Fps2997Drop, 15}, // 15 fields are 0.25025 s
        {"rtrcmd2mx:20", FrameRate::Fps25, 20},            // bare fields stay fields
    };
    for (const Case& c : cases) {
        DelayLimits limits;
        ASSERT_TRUE(parseDelayLimit(c.text, limits)) << c.text;
        limits.resolve(Timebase(c.rate));
        EXPECT_EQ(limits.fields[RtrCmd2MX], c.fields) << c.text << " at " << frameRateName(c.rate);
    }
    const Timebase pal(FrameRate::Fps25);
    EXPECT_EQ(delayInUnit(21, GivenLimit{21, 1, LimitUnit::Fields, "21"}, pal), "21");
    EXPECT_EQ(delayInUnit(21, GivenLimit{1, 1, LimitUnit::Frames, "1fr"}, pal), "10.5fr");
    EXPECT_EQ(delayInUnit(21, GivenLimit{1, 1, LimitUnit::Milliseconds, "1ms"}, pal), "420.0ms");
    EXPECT_EQ(delayInUnit(21, GivenLimit{1, 1, LimitUnit::Seconds, "1s"}, pal), "0.420s");
}

TEST(DelayLimits, TimeUnitsRefuseWhatIsNoNumber) {
    DelayLimits limits;
    for (const char* bad : {"rtrcmd2mx:fr", "rtrcmd2mx:ms", "rtrcmd2mx:s", "rtrcmd2mx:1.2.3s",
                            "rtrcmd2mx:-1s", "rtrcmd2mx:1 s", "rtrcmd2mx:1sec", "rtrcmd2mx:1FR",
                            "rtrcmd2mx:0.0000001s", "rtrcmd2mx:35791395s", "rtrcmd2mx:1e3ms"})
        EXPECT_FALSE(parseDelayLimit(bad, limits)) << "'" << bad << "'";
    EXPECT_FALSE(limits.any());
    EXPECT_TRUE(parseDelayLimit("rtrcmd2mx:35791394s", limits)); // 2147483640 fields at 30 frames/s
}

constexpr std::int32_t kMinute = 3600; // fields

// A group at `minute` past 10:00 whose RtrCmd2Status is `delay`.
TransitionRecord groupAt(int minute, std::int64_t delay, std::int64_t line) {
    TransitionRecord record;
    record.startLine = line;
    record.startFields = 10 * 60 * kMinute + minute * kMinute;
    const int m = 0x00 + (minute / 10) * 16 + minute % 10; // BCD minutes
    record.startTimecode = 0x10000000u | static_cast<std::uint32_t>(m) << 16;
    record.delays[1] = delay;
    return record;
}

// A watch hears of an incident when the first group five minutes after its
// last breach comes, not only when the file ends; without /follow only the
// totals are told.
TEST(LimitCheck, FollowTellsEachIncidentWhenItEnds) {
    for (bool follow : {true, false}) {
        test::TempInput errors("");
        Console console(stdout, errors.get());
        DelayLimits limits;
        ASSERT_TRUE(parseDelayLimit("rtrcmd2status:30", limits));
        LimitCheck check(limits, Timebase(), console, follow);
        check.beginFile("a.log");
        check.group(groupAt(0, 40, 1));
        check.group(groupAt(4, 40, 8));
        check.group(groupAt(8, 20, 15)); // 4 minutes after: the incident goes on
        const std::string during = test::contents(errors.get());
        check.group(groupAt(9, 20, 22)); // 5 minutes after: it has ended
        const std::string ended = test::contents(errors.get());
        check.group(groupAt(20, 50, 29));
        check.endFile({});
        check.endRun();
        const std::string all = test::contents(errors.get());
        EXPECT_TRUE(check.breached());
        const std::string first = "quorvex: limit rtrcmd2status incident 10:00:00:00-10:04:00:00 "
                                  "(2) in a.log\n";
        const std::string last = "quorvex: limit rtrcmd2status incident 10:20:00:00-10:20:00:00 "
                                 "(1) in a.log\n";
        EXPECT_EQ(during.find("incident"), std::string::npos);
        EXPECT_EQ(ended.find(first) != std::string::npos, follow);
        EXPECT_EQ(all.find(last) != std::string::npos, follow);
        EXPECT_NE(all.find("quorvex: limit rtrcmd2status in a.log: 3 breaches in 2 incidents: "
                           "10:00:00:00-10:04:00:00 (2), 10:20:00:00-10:20:00:00 (1)\n"),
                  std::string::npos);
        EXPECT_NE(all.find("quorvex: limit rtrcmd2status in the run: 3 breaches in 2 incidents"),
                  std::string::npos);
    }
}

} // namespace
} // namespace qv
