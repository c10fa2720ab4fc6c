// The ROUTER TAKES mode: what it works on, the transition scanner and the
// per-file summary.
#pragma once

#include "report/report.h"
#include "search/line_reader.h"
#include "timebase/timebase.h"
#include "transitions/analysis_state.h"
#include "transitions/group_log.h"

#include <string_view>

namespace qv {

/// The settings the mode reads. The texts are not copied: they must outlive
/// the analysis.
struct TransitionOptions {
    std::string_view srchname;   // the process whose fades and mixes are followed
    std::string_view outputtext; // destination text of router lines
    std::string_view levelText;  // also required of router lines when levelFilter is on
    bool levelFilter = false;
    int summaryMode = 0; // 0 standard, anything else summary mode
    bool excelMode = false;
    /// Reads after which the scanner looks again at which texts to search
    /// for (small in tests, to switch often).
    std::int64_t filterWindow = std::int64_t{1} << 16;
    /// False: every read is handed to the tests, none passed over (the
    /// reference the filtered scan is checked against).
    bool passOverReads = true;
    Timebase timebase = Timebase(); // the station's frame rate
};

/// Everything the mode works on, owned by the runner for the whole run: the
/// statistics are reset before each file, the group carries over.
struct TransitionAnalysis {
    TransitionAnalysis(const TransitionOptions& options, Report& report)
        : options(options), report(report) {}

    TransitionOptions options;
    Report& report;
    FileStats fileStats;
    TransitionGroup transitionGroup;
    GroupLog groupLog;
    // Reused between group reports, so that a report allocates only while
    // it grows.
    ReportBlock block;
    ReportBlock sniffRow;
};

/// Zeroes the counters and resets the statistics; leaves the group alone.
void resetFileStats(TransitionAnalysis& analysis);

/// Counts a broken group (a fade when `fade`, else a mix), hands it to the
/// group log and reports it: with a non-zero flag the once-per-file banner,
/// with 0 one "not detected" line per awaited kind.
void reportMissingLines(TransitionAnalysis& analysis, int summaryMode, bool fade);

/// Follows every fade and mix of the process `srchname` through one log file.
/// The caller has called resetFileStats for this file.
void scanTransitions(LineReader& logFile, TransitionAnalysis& analysis);

/// Counters and delay statistics of the file just scanned, standard or
/// comma-delimited (`excelMode`).
void printRunSummary(TransitionAnalysis& analysis);

} // namespace qv
