// Runs a scan over a log with a chosen block search and keeps everything it
// wrote, for tests that compare the block search with reading every line.
#pragma once

#include "report/report.h"
#include "scans/line_scans.h"
#include "search/block_search.h"
#include "test_util.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace qv::test {

struct ScanOutput {
    std::string console;
    std::string file;
    std::int64_t lineCount = 0;
    bool operator==(const ScanOutput&) const = default;
};

/// The block searches this machine can run, the plain reading excluded.
inline std::vector<SearchPath> fastSearchPaths() {
    std::vector<SearchPath> paths;
    for (SearchPath path : {SearchPath::Portable, SearchPath::Sse2, SearchPath::Avx2,
                            SearchPath::Avx512, SearchPath::Avx512Vbmi})
        if (setSearchPath(path))
            paths.push_back(path);
    setSearchPath(SearchPath::Auto);
    return paths;
}

/// Runs `scan(reader, report)` over `log`, with an output file; the scan
/// returns the number of reads it counted.
template <typename Scan>
ScanOutput captureScan(SearchPath path, const std::string& log, Scan scan, bool readAhead = false) {
    EXPECT_TRUE(setSearchPath(path));
    ConsoleCapture console;
    // One name per test and run: ctest runs tests side by side, and two
    // builds' suites may run at once.
    static const std::string run = std::to_string(std::random_device{}());
    const std::string outName = testing::TempDir() + "quorvex_" +
                                testing::UnitTest::GetInstance()->current_test_info()->name() +
                                "_" + run + ".txt";
    ScanOutput output;
    {
        TextFileWriter out(outName.c_str());
        Report report(console.console(), &out);
        MemorySource input(log);
        // Reading ahead in small chunks, to hand over many of them.
        LineReader reader(input, kLogReadMax, readAhead ? 4096 : kReadBufferSize);
        if (readAhead)
            reader.readAhead();
        output.lineCount = scan(reader, report);
        out.close();
    }
    setSearchPath(SearchPath::Auto);
    output.console = console.text();
    if (std::FILE* written = std::fopen(outName.c_str(), "rb")) {
        output.file = contents(written);
        std::fclose(written);
    }
    std::remove(outName.c_str());
    return output;
}

/// A line scan with these options, as a scan for captureScan.
template <typename Scan> auto lineScan(Scan scan, LineScanOptions options) {
    return [scan, options](LineReader& reader, Report& report) {
        std::int64_t lineCount = 0;
        scan(reader, report, options, lineCount);
        return lineCount;
    };
}

} // namespace qv::test
