// The three line scans pass over the reads without their text. What they
// print must be the same as when they test every read.
#include "bench/generators.h"
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

// The benchmark's near-miss busy log, with the texts of its own noise and
// near misses of them.
TEST(LineScanPrefilter, SameOutputOnTheNearMissLog) {
    const std::vector<SearchPath> paths = test::fastSearchPaths();
    const char* const grepTexts[] = {"LINK WARN", "DOFADE:STAR", "wqvx", " src 00"};
    for (int round = 0; round < 4; ++round) {
        std::string log;
        {
            loggen::LogWriter out(log, round % 2 == 0);
            loggen::BusySettings near;
            near.processes = 1;
            near.markerPercent = 1.5;
            near.nearMissPercent = 12;
            loggen::BusyStation station(out, 300 + static_cast<unsigned>(round), near);
            while (out.written() < (std::size_t{1} << 20))
                station.line();
        }
        const LineScanOptions options{round % 2, grepTexts[round], round == 3};
        const auto scans = {test::lineScan(scanCommandErrors, options),
                            test::lineScan(countTakes, options),
                            test::lineScan(grepLines, options)};
        for (const auto& scan : scans) {
            const test::ScanOutput expected = test::captureScan(SearchPath::Plain, log, scan);
            ASSERT_NE(expected.console.size(), 0u);
            for (SearchPath path : paths)
                ASSERT_EQ(test::captureScan(path, log, scan), expected)
                    << "round " << round << " path " << static_cast<int>(path);
            ASSERT_EQ(test::captureScan(SearchPath::Auto, log, scan, true), expected)
                << "read ahead, round " << round;
        }
    }
}

} // namespace
} // namespace qv
