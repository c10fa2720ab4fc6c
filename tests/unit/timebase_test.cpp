#include "timebase/timebase.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace qv {
namespace {

// hh:mm:ss:ff as the BCD timecode column reads it.
std::uint32_t bcd(int hours, int minutes, int seconds, int frames) {
    const auto pair = [](int v) { return static_cast<std::uint32_t>((v / 10) << 4 | v % 10); };
    return pair(hours) << 24 | pair(minutes) << 16 | pair(seconds) << 8 | pair(frames);
}

TEST(Timebase, FieldsCountRealFramesAtEachRate) {
    const Timebase ntsc(FrameRate::Fps30), drop(FrameRate::Fps2997Drop), pal(FrameRate::Fps25);
    EXPECT_EQ(ntsc.fieldsOf(bcd(1, 2, 30, 4)), 225008);
    EXPECT_EQ(pal.fieldsOf(bcd(0, 0, 1, 0)), 50);
    EXPECT_EQ(pal.fieldsOf(bcd(0, 0, 0, 24)) + 2, pal.fieldsOf(bcd(0, 0, 1, 0)));
    // Drop frame: 00:01:00;02 is the frame right after 00:00:59;29 ...
    EXPECT_EQ(drop.fieldsOf(bcd(0, 0, 59, 29)) + 2, drop.fieldsOf(bcd(0, 1, 0, 2)));
    // ... but a tenth minute keeps frames 00 and 01.
    EXPECT_EQ(drop.fieldsOf(bcd(0, 9, 59, 29)) + 2, drop.fieldsOf(bcd(0, 10, 0, 0)));
    // Every rate: the last frame of the day is one frame short of a day.
    for (const Timebase& tb : {ntsc, drop, pal})
        EXPECT_EQ(tb.fieldsOf(bcd(23, 59, 59, tb.frameNumbers() - 1)) + 2, tb.fieldsPerDay())
            << frameRateName(tb.rate());
}

TEST(Timebase, FieldRateAndSeconds) {
    EXPECT_EQ(Timebase(FrameRate::Fps30).fieldsPerHour(), 216000);
    EXPECT_EQ(Timebase(FrameRate::Fps25).fieldsPerHour(), 180000);
    const FieldRate rate = Timebase(FrameRate::Fps2997Drop).fieldRate();
    EXPECT_EQ(rate.fields, 60000);
    EXPECT_EQ(rate.seconds, 1001);
    // A drop-frame hour is 107892 frames: 3600 s * 29.97 to the frame.
    EXPECT_EQ(Timebase(FrameRate::Fps2997Drop).fieldsPerHour(), 2 * 107892);
    EXPECT_DOUBLE_EQ(Timebase(FrameRate::Fps25).secondsOf(50), 1.0);
    EXPECT_NEAR(Timebase(FrameRate::Fps2997Drop).secondsOf(2 * 107892), 3600.0, 0.01);
}

TEST(Timebase, MisreadFollowsTheRate) {
    const Timebase ntsc(FrameRate::Fps30), drop(FrameRate::Fps2997Drop), pal(FrameRate::Fps25);
    EXPECT_FALSE(ntsc.misread("00000029"));
    EXPECT_TRUE(ntsc.misread("00000030"));
    EXPECT_FALSE(pal.misread("00000024"));
    EXPECT_TRUE(pal.misread("00000025"));
    EXPECT_TRUE(drop.misread("00010000"));  // no frame 00 at minute 1
    EXPECT_TRUE(drop.misread("00010001"));  // nor 01
    EXPECT_FALSE(drop.misread("00010002")); // 02 exists
    EXPECT_FALSE(drop.misread("00100000")); // the tenth minute keeps 00
    EXPECT_FALSE(drop.misread("00010100")); // other seconds keep 00
    EXPECT_FALSE(ntsc.misread("00010000"));
    for (const Timebase& tb : {ntsc, drop, pal})
        for (const char* bad : {"24000000", "00600000", "00006000", "0000001a", "0102", "-1000000"})
            EXPECT_TRUE(tb.misread(bad)) << bad << " at " << frameRateName(tb.rate());
}

TEST(Timebase, AroundMidnightTakesTheShortWay) {
    for (FrameRate rate : {FrameRate::Fps30, FrameRate::Fps2997Drop, FrameRate::Fps25}) {
        const Timebase tb(rate);
        const std::int64_t day = tb.fieldsPerDay();
        // 23:59:59:xx to 00:00:00:02 crosses midnight forwards.
        const std::int64_t before = tb.fieldsOf(bcd(23, 59, 59, 0));
        const std::int64_t after = tb.fieldsOf(bcd(0, 0, 0, 2));
        EXPECT_EQ(tb.aroundMidnight(after - before), after + day - before);
        EXPECT_EQ(tb.aroundMidnight(before - after), before - after - day);
        EXPECT_EQ(tb.aroundMidnight(day / 2), day / 2); // exactly half a day stays
        EXPECT_EQ(tb.aroundMidnight(-day / 2), -day / 2);
        EXPECT_EQ(tb.aroundMidnight(-day / 2 - 2), day / 2 - 2);
        EXPECT_EQ(tb.aroundMidnight(-20), -20);
    }
}

TEST(Timebase, ParsesTheRateNames) {
    FrameRate rate = FrameRate::Fps30;
    for (FrameRate r : {FrameRate::Fps30, FrameRate::Fps2997Drop, FrameRate::Fps25}) {
        ASSERT_TRUE(parseFrameRate(frameRateName(r), rate));
        EXPECT_EQ(rate, r);
    }
    for (const char* bad : {"", "24", "29.970", "30 ", "2997", "25fps"})
        EXPECT_FALSE(parseFrameRate(bad, rate)) << bad;
}

TEST(Timebase, RateWatchWantsManyTimecodesWithoutAHighFrame) {
    RateWatch pal;
    for (int i = 0; i < 999; ++i)
        pal.see(bcd(10, 0, i % 60, i % 25));
    EXPECT_FALSE(pal.looksLike25()); // too few to tell
    pal.see(bcd(10, 0, 0, 24));
    EXPECT_TRUE(pal.looksLike25());
    pal.see(bcd(10, 0, 0, 25));
    EXPECT_FALSE(pal.looksLike25());
}

} // namespace
} // namespace qv
