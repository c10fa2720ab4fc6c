// The file runners: open each log, reset the per-file state, announce the
// file, run the mode's scan, close it. With /follow a log is read on as it
// grows, and the runner is what the followed source asks before it waits.
#pragma once

#include "frontend/settings.h"
#include "frontend/side_outputs.h"
#include "platform/follow_source.h"
#include "platform/platform.h"
#include "platform/text_writer.h"
#include "report/report.h"
#include "scans/line_scans.h"
#include "transitions/transitions.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace qv {

/// The per-run state of the scans, handed to each file in turn. The output
/// file and the side outputs belong to the program, which closes them.
class FileRunner final : private FollowHooks {
  public:
    /// `standardOutput`: standard output's file, which a pattern run skips.
    /// `stopKeys` is set with the first followed file; the program keeps it
    /// until its outputs are closed, so that a second Ctrl-C ends it with 130
    /// until then.
    FileRunner(const RunSettings& settings, Console& console, TextFileWriter* outputFile,
               SideOutputs& sideOutputs, FileId standardOutput,
               std::unique_ptr<StopKeys>& stopKeys);
    FileRunner(const FileRunner&) = delete;
    FileRunner& operator=(const FileRunner&) = delete;

    /// Hands every timed and broken group of the ROUTER TAKES files to
    /// `observer` too, after the side outputs.
    void watch(TransitionObserver& observer) { transitions_.groupLog.add(observer); }

    void runSingleFile(const char* logName);
    void runFilePattern(const char* pattern);

    /// Logs scanned to their end so far.
    std::int64_t filesAnalysed() const { return filesAnalysed_; }

  private:
    FollowEnd processFile(const char* name);
    void readFile(const char* name, std::FILE* file, std::string& readError);
    void runScan(const char* name, LineReader& logFile);
    bool isOwnOutput(const char* path) const;
    bool isMetricsFile(const char* path) const;
    std::int64_t linesRead() const; // of the current log so far
    void reportNoMatch(const char* pattern);

    // Following (runner_follow.cpp).
    bool followed(const char* name, std::FILE* file);
    FollowEnd followFile(const char* name, std::FILE* file, std::string& readError);
    void followNewestMatch(const char* pattern);
    std::string newestMatch(const char* pattern, std::vector<std::string>& matches) const;
    void beforeWait() override;
    bool stopRequested() override;
    bool superseded() override;

    const RunSettings& settings_;
    Console& console_;
    TextFileWriter* outputFile_;
    SideOutputs& sideOutputs_;
    std::vector<FileId> ownOutputs_; // standard output, the output file, the side outputs
    Report report_;
    TransitionAnalysis transitions_;
    LineScanOptions lineScans_;
    std::int64_t lineCount_ = 0; // reads of the current file in the line scans
    std::int64_t lineHits_ = 0;  // what the line scans count, over the run
    std::int64_t filesAnalysed_ = 0;

    /// The newest match of a followed pattern, and what a newer one must beat.
    struct PatternWatch {
        const char* pattern = nullptr; // none: a single file is followed
        std::string followed;
        std::vector<std::string> knownMatches; // when `followed` was chosen
        std::string newer;                     // the match that superseded it
        std::chrono::steady_clock::time_point nextLook{};
    };
    std::unique_ptr<StopKeys>& stopKeys_;
    PatternWatch patternWatch_;
};

} // namespace qv
