// The file runners: open each log, reset the per-file state, announce the
// file, run the mode's scan, close it. With /follow a log is read on as it
// grows, and the runner is what the followed source asks before it waits.
#pragma once

#include "frontend/output_guard.h"
#include "frontend/settings.h"
#include "frontend/side_outputs.h"
#include "platform/platform.h"
#include "platform/text_writer.h"
#include "report/report.h"
#include "scans/line_scans.h"
#include "sources/follow_source.h"
#include "sources/inflate_ahead.h"
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
    /// `guard` knows the run's outputs, which a pattern run skips.
    /// `stopKeys` is set with the first followed file; the program keeps it
    /// until its outputs are closed, so that a second Ctrl-C ends it with 130
    /// until then.
    FileRunner(const RunSettings& settings, Console& console, TextFileWriter* outputFile,
               SideOutputs& sideOutputs, const OutputGuard& guard,
               std::unique_ptr<StopKeys>& stopKeys);
    FileRunner(const FileRunner&) = delete;
    FileRunner& operator=(const FileRunner&) = delete;

    /// Hands every timed and broken group of the ROUTER TAKES files to
    /// `observer` too, after the side outputs.
    void watch(TransitionObserver& observer) { transitions_.groupLog.add(observer); }

    void runSingleFile(const char* logName);
    void runFilePattern(const char* pattern);
    /// Each log in turn, as a pattern run reads its matches.
    void runFileList(const std::vector<std::string>& logs);

    /// Logs scanned to their end so far.
    std::int64_t filesAnalysed() const { return filesAnalysed_; }

  private:
    FollowEnd processFile(const char* name, bool again = false);
    void readFile(const char* name, std::FILE* file, std::string& readError);
    void runScan(const char* name, LineReader& logFile);
    bool isOwnOutput(const char* path) const;
    void runLogs(const std::vector<std::string>& logs, const char* pattern);
    void reportNoMatch(const char* pattern, const std::string& whyNot);
    /// `pattern` names the pattern, or nullptr for a list of logs.
    void reportNotAnalysed(const char* pattern, std::int64_t left);
    std::int64_t linesRead() const; // of the current log so far

    // Following (runner_follow.cpp).
    bool followed(const char* name, std::FILE* file);
    std::FILE* reopenFollowed(const char* name, std::string& whyNot, bool& notRegular);
    FollowEnd followFile(const char* name, std::FILE* file, std::string& readError);
    void followNewestMatch(const char* pattern);
    std::vector<std::string> listMatches(const char* pattern, std::string* whyNot) const;
    std::string newestMatch(const char* pattern, std::vector<std::string>& matches,
                            std::string* whyNot = nullptr) const;
    void beforeWait() override;
    bool stopRequested() override;
    bool superseded() override;

    const RunSettings& settings_;
    Console& console_;
    TextFileWriter* outputFile_;
    SideOutputs& sideOutputs_;
    const OutputGuard& guard_;
    Report report_;
    TransitionAnalysis transitions_;
    LineScanOptions lineScans_;
    std::int64_t lineCount_ = 0; // reads of the current file in the line scans
    std::int64_t lineHits_ = 0;  // what the line scans count, over the run
    std::int64_t filesAnalysed_ = 0;
    std::unique_ptr<InflateAhead> ahead_; // a pattern run's later files, inflated ahead
    std::size_t aheadIndex_ = 0;          // its next file
    bool opened_ = false;                 // the current log was opened

    /// The newest match of a followed pattern, and what a newer one must beat.
    struct PatternWatch {
        const char* pattern = nullptr; // none: a single file is followed
        std::string followed;
        std::string newer; // the match that superseded it
        std::chrono::steady_clock::time_point nextLook{};
    };
    std::unique_ptr<StopKeys>& stopKeys_;
    PatternWatch patternWatch_;
};

} // namespace qv
