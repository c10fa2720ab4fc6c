// The three simple modes: one pass over a log with one test per read. Each
// counts every read of the file in `lineCount`, which the runner zeroes
// before the file.
#pragma once

#include "report/report.h"
#include "search/line_reader.h"
#include "timebase/timebase.h"

#include <cstdint>
#include <string_view>

namespace qv {

/// The settings the line scans read.
struct LineScanOptions {
    int summaryMode = 0;            // 0 standard, anything else summary mode
    std::string_view grepText;      // GREP: the text looked for; empty matches every read
    bool grepQuiet = false;         // GREP: no matches listed on the console
    Timebase timebase = Timebase(); // CMD ERROR TC: what a delta in fields is in frames
    // When given: counts on what the mode counts (command errors, takes,
    // matching reads) over every file, for the metrics file.
    std::int64_t* found = nullptr;
};

/// CMD ERROR TC: the delta of every "CMD-ERROR on TC" read, total and averages.
void scanCommandErrors(LineReader& logFile, Report& report, const LineScanOptions& options,
                       std::int64_t& lineCount);

/// COUNT TAKES: reads containing " src ", per minute and second of one hour.
/// The summary mode does not change what it prints.
void countTakes(LineReader& logFile, Report& report, const LineScanOptions& options,
                std::int64_t& lineCount);

/// GREP: lists (or, in summary mode, counts) the reads containing `grepText`.
void grepLines(LineReader& logFile, Report& report, const LineScanOptions& options,
               std::int64_t& lineCount);

} // namespace qv
