#include "scan_capture.h"
#include "scans/line_scans.h"

#include <gtest/gtest.h>

namespace qv {
namespace {

using test::lineScan;

test::ScanOutput scanLog(const std::string& log, auto scan) {
    return test::captureScan(SearchPath::Auto, log, scan);
}

std::string takesLog(int takes) {
    std::string log;
    for (int i = 0; i < takes; ++i)
        log += "RTR take src 0012\n";
    return log + "no take\n";
}

TEST(CountTakes, AveragesOfOneHour) {
    const auto count = lineScan(countTakes, {1, "", false});
    struct Case {
        int takes;
        const char* report;
    } cases[] = {
        {59, "total takes was       59\r\nAverage takes/min was    0 \r\nAverage takes/sec was    "
             "0 \r\n"},
        {60, "total takes was       60\r\nAverage takes/min was    1 \r\nAverage takes/sec was    "
             "0 \r\n"},
        {119, "total takes was      119\r\nAverage takes/min was    1 \r\nAverage takes/sec was    "
              "0 \r\n"},
        {3600, "total takes was     3600\r\nAverage takes/min was   60 \r\nAverage takes/sec was   "
               " 1 \r\n"},
    };
    for (const Case& c : cases) {
        const test::ScanOutput out = scanLog(takesLog(c.takes), count);
        EXPECT_EQ(out.file, c.report) << c.takes;
        EXPECT_EQ(out.lineCount, c.takes + 1);
    }
}

TEST(CommandErrors, LineCountCoversEveryRead) {
    const test::ScanOutput out = scanLog(std::string(600, 'x') + "\nCMD-ERROR on TC delta 5\n",
                                         lineScan(scanCommandErrors, {}));
    EXPECT_EQ(out.file, "Delta was        2 frames\r\ntotal command errors is        1\r\n"
                        "Average Delta was    2 frames\r\nAverage Delta was 2.500000 frames\r\n");
    EXPECT_EQ(out.lineCount, 4); // 249 + 249 + 103 characters, then the error line
}

TEST(GrepLines, NulBytesAreOrdinaryBytes) {
    const auto grep = lineScan(grepLines, {0, "after", false});
    const std::string log("before\0after\n", 13);
    EXPECT_EQ(scanLog(log, grep).file, std::string("      1 before\0after\r\n", 22));
}

} // namespace
} // namespace qv
