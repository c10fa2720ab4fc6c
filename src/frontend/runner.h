// The file runners: open each log, reset the per-file state, announce the
// file, run the mode's scan, close it.
#pragma once

#include "frontend/settings.h"
#include "frontend/side_outputs.h"
#include "platform/platform.h"
#include "platform/text_writer.h"
#include "report/report.h"
#include "scans/line_scans.h"
#include "transitions/transitions.h"

#include <cstdint>

namespace qv {

/// The per-run state of the scans, handed to each file in turn. The output
/// file and the side outputs belong to the program, which closes them.
class FileRunner {
  public:
    /// `standardOutput`: standard output's file, which a pattern run skips.
    FileRunner(const RunSettings& settings, Console& console, TextFileWriter* outputFile,
               SideOutputs& sideOutputs, FileId standardOutput);
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
    void processFile(const char* name);
    void runScan(const char* name, LineReader& logFile);
    bool isOwnOutput(const char* path) const;

    const RunSettings& settings_;
    Console& console_;
    TextFileWriter* outputFile_;
    SideOutputs& sideOutputs_;
    FileId standardOutput_;
    Report report_;
    TransitionAnalysis transitions_;
    LineScanOptions lineScans_;
    std::int64_t lineCount_ = 0; // reads of the current file in the line scans
    std::int64_t filesAnalysed_ = 0;
};

} // namespace qv
