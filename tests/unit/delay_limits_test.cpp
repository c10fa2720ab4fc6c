// The /limit argument: what is a limit and what is refused.
#include "sinks/delay_limits.h"

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

} // namespace
} // namespace qv
