#include "report/report.h"
#include "frontend/settings.h"
#include "scans/line_scans.h"
#include "test_util.h"
#include "transitions/analysis_state.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace qv {
namespace {

// Runs a scan over `log` with an output file and returns the file's bytes.
template <typename Scan> std::string scanToFile(const std::string& log, Scan scan) {
    // One name per test: CTest runs the tests in parallel processes.
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() /
        ("quorvex_line_scans_" +
         std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + ".txt");
    test::TempInput console("");
    setConsoleStream(console.get());
    {
        TextFileWriter out(path.string().c_str());
        test::TempInput input(log);
        LineReader reader(input.get());
        resetFileStats();
        scan(reader, &out);
    }
    setConsoleStream(nullptr);
    std::ostringstream bytes;
    {
        std::ifstream in(path, std::ios::binary);
        bytes << in.rdbuf();
    } // closed first: Windows cannot remove an open file
    std::filesystem::remove(path);
    return bytes.str();
}

std::string takesLog(int takes) {
    std::string log;
    for (int i = 0; i < takes; ++i)
        log += "RTR take src 0012\n";
    return log + "no take\n";
}

TEST(CountTakes, AveragesOfOneHour) {
    const auto count = [](LineReader& r, TextFileWriter* out) { countTakes(r, out, 1); };
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
        EXPECT_EQ(scanToFile(takesLog(c.takes), count), c.report) << c.takes;
        EXPECT_EQ(fileStats.lineCount, c.takes + 1);
    }
}

TEST(CommandErrors, LineCountCoversEveryRead) {
    const auto scan = [](LineReader& r, TextFileWriter* out) { scanCommandErrors(r, out, 0); };
    const std::string report =
        scanToFile(std::string(600, 'x') + "\nCMD-ERROR on TC delta 5\n", scan);
    EXPECT_EQ(report, "Delta was        2 frames\r\ntotal command errors is        1\r\n"
                      "Average Delta was    2 frames\r\nAverage Delta was 2.500000 frames\r\n");
    EXPECT_EQ(fileStats.lineCount, 4); // 249 + 249 + 103 characters, then the error line
}

TEST(GrepLines, NulBytesAreOrdinaryBytes) {
    resetRunSettings();
    const auto grep = [](LineReader& r, TextFileWriter* out) { grepLines(r, out, "after", 0); };
    const std::string log("before\0after\n", 13);
    EXPECT_EQ(scanToFile(log, grep), std::string("      1 before\0after\r\n", 22));
}

} // namespace
} // namespace qv
