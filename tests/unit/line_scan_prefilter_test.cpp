// The three line scans pass over the reads without their text. What they
// print must be the same as when they test every read.
#include "scan_capture.h"
#include "scans/line_scans.h"

#include <random>
#include <string>

namespace qv {
namespace {

// Lines of the texts the scans look for, whole and cut, with runs that push
// them across a 249 split, CRLF or LF, NULs, no newline at the end.
std::string makeLog(std::mt19937& rng) {
    static const char* const pieces[] = {" src ",     "src ",  " src",      "CMD-ERROR on TC",
                                         "CMD-ERROR", "delta", " delta -7", " delta 12",
                                         "LINK WARN", "LINK",  "x",         "ab"};
    const char* end = rng() % 2 ? "\r\n" : "\n";
    std::string log;
    for (int lines = static_cast<int>(rng() % 300); lines > 0; --lines) {
        std::string line(rng() % 4 == 0 ? 200 + rng() % 320 : rng() % 40, '.');
        for (unsigned k = rng() % 4; k > 0; --k)
            line.insert(rng() % (line.size() + 1), pieces[rng() % std::size(pieces)]);
        if (rng() % 50 == 0)
            line += '\0';
        log += line + end;
    }
    if (rng() % 3 == 0)
        log += "tail CMD-ERROR on TC delta 3 src LINK WARN";
    return log;
}

TEST(LineScanPrefilter, SameOutputAsTestingEveryRead) {
    const std::vector<SearchPath> paths = test::fastSearchPaths();
    const char* const grepTexts[] = {"LINK WARN", "", "a", " src ", "x\r", "delta"};
    std::mt19937 rng(99);
    for (int round = 0; round < 120; ++round) {
        const std::string log = makeLog(rng);
        const int summaryMode = round % 3 == 0;
        const char* grepText = grepTexts[round % std::size(grepTexts)];
        const LineScanOptions options{summaryMode, grepText, round % 4 == 1};
        const auto commandErrors = test::lineScan(scanCommandErrors, options);
        const auto takes = test::lineScan(countTakes, options);
        const auto grep = test::lineScan(grepLines, options);
        const test::ScanOutput expected[] = {
            test::captureScan(SearchPath::Plain, log, commandErrors),
            test::captureScan(SearchPath::Plain, log, takes),
            test::captureScan(SearchPath::Plain, log, grep)};
        for (SearchPath path : paths) {
            const std::string where =
                "round " + std::to_string(round) + " path " + std::to_string(int(path));
            ASSERT_EQ(test::captureScan(path, log, commandErrors), expected[0]) << where;
            ASSERT_EQ(test::captureScan(path, log, takes), expected[1]) << where;
            ASSERT_EQ(test::captureScan(path, log, grep), expected[2]) << where;
        }
        const std::string where = "read ahead, round " + std::to_string(round);
        ASSERT_EQ(test::captureScan(SearchPath::Auto, log, commandErrors, true), expected[0])
            << where;
        ASSERT_EQ(test::captureScan(SearchPath::Auto, log, takes, true), expected[1]) << where;
        ASSERT_EQ(test::captureScan(SearchPath::Auto, log, grep, true), expected[2]) << where;
    }
}

} // namespace
} // namespace qv
