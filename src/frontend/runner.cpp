#include "frontend/runner.h"

#include "platform/gzip_source.h"
#include "platform/platform.h"
#include "search/line_reader.h"

#include <algorithm>
#include <filesystem>
#include <string>

namespace qv {

namespace {

// Logs from this size on are read ahead on a second thread; for smaller
// ones starting it would cost more than it saves. Bigger chunks then mean
// fewer hand-overs between the threads, which pays up to about 1 MiB.
constexpr std::int64_t kReadAheadFrom = std::int64_t{1} << 22;
constexpr std::size_t kReadAheadBuffer = std::size_t{1} << 20;

TransitionOptions transitionOptions(const RunSettings& s) {
    return {s.srchname, s.outputtext, s.levelText, s.levelFilter, s.summaryMode, s.excelMode};
}

LineScanOptions lineScanOptions(const RunSettings& s) {
    const std::string_view grepText = s.analyzeMode == AnalyzeMode::Grep ? s.grepText : "";
    return {s.summaryMode, grepText, s.grepQuiet};
}

} // namespace

FileRunner::FileRunner(const RunSettings& settings, Console& console, TextFileWriter* outputFile,
                       SideOutputs& sideOutputs, FileId standardOutput,
                       std::unique_ptr<StopKeys>& stopKeys)
    : settings_(settings), console_(console), outputFile_(outputFile), sideOutputs_(sideOutputs),
      report_(console, outputFile), transitions_(transitionOptions(settings), report_),
      lineScans_(lineScanOptions(settings)), stopKeys_(stopKeys) {
    if (sideOutputs_.metrics())
        lineScans_.found = &lineHits_;
    sideOutputs_.attach(transitions_.groupLog);
    // Known once: a followed pattern looks at every match four times a second.
    ownOutputs_.push_back(standardOutput);
    if (outputFile_)
        ownOutputs_.push_back(fileIdOf(outputFile_->path().c_str()));
    sideOutputs_.addIdentities(ownOutputs_);
}

void FileRunner::runScan(const char* name, LineReader& logFile) {
    switch (settings_.analyzeMode) {
    case AnalyzeMode::RouterTakes:
        transitions_.groupLog.beginFile(name);
        scanTransitions(logFile, transitions_);
        printRunSummary(transitions_);
        transitions_.groupLog.endFile(transitions_.fileStats);
        if (transitions_.fileStats.lineCount > 0 && transitions_.fileStats.transitionCount == 0)
            console_.diagnose("no transition of '%s' in %s", settings_.srchname, name);
        break;
    case AnalyzeMode::CmdErrorTc:
        scanCommandErrors(logFile, report_, lineScans_, lineCount_);
        break;
    case AnalyzeMode::CountTakes:
        countTakes(logFile, report_, lineScans_, lineCount_);
        break;
    case AnalyzeMode::Grep:
        grepLines(logFile, report_, lineScans_, lineCount_);
        break;
    }
}

// One log file: reset, open, banner, scan, close. "-" is standard input.
// Returns how the follow of the file ended.
FollowEnd FileRunner::processFile(const char* name) {
    resetFileStats(transitions_);
    lineCount_ = 0;
    if (MetricsFile* metrics = sideOutputs_.metrics())
        metrics->startFile();
    const bool standardInputLog = std::string_view(name) == "-";
    std::string whyNot;
    std::FILE* file = standardInputLog ? standardInput() : openForRead(name, &whyNot);
    if (!file)
        fatal(console_, whyNot, "Error opening %s\n", name);
    report_.print("**** Processing File %s ****\n", name);
    std::string readError;
    FollowEnd end = FollowEnd::EndOfFile;
    if (followed(name, file))
        end = followFile(name, file, readError);
    else
        readFile(name, file, readError);
    if (!standardInputLog)
        std::fclose(file);
    // The report of what was read stands; the run must still not claim success.
    if (!readError.empty())
        fatal(console_, readError, "Error reading %s\n", name);
    ++filesAnalysed_;
    if (MetricsFile* metrics = sideOutputs_.metrics()) {
        metrics->fileLines(linesRead());
        metrics->found(lineHits_);
        sideOutputs_.writeMetrics();
    }
    return end;
}

void FileRunner::readFile(const char* name, std::FILE* file, std::string& readError) {
    const std::int64_t sizeAtOpen = regularFileSize(file);
    {
        // A big log is read on a second thread while the scan works.
        const bool readAhead = sizeAtOpen >= kReadAheadFrom;
        FileSource fileBytes(file);
        const std::unique_ptr<ByteSource> source = openLogSource(fileBytes);
        LineReader logFile(*source, kLogReadMax, readAhead ? kReadAheadBuffer : kReadBufferSize);
        if (readAhead)
            logFile.readAhead();
        runScan(name, logFile);
        if (logFile.readError())
            readError = logFile.readErrorText();
    }
    // A log that shrank while it was read was cut short under the scan.
    if (readError.empty() && regularFileSize(file) < sizeAtOpen)
        readError = "file shrank while being read";
}

std::int64_t FileRunner::linesRead() const {
    return settings_.analyzeMode == AnalyzeMode::RouterTakes ? transitions_.fileStats.lineCount
                                                             : lineCount_;
}

// The metrics file is renamed over at every write: its identity changes, its
// name (and that of its temporary file) does not.
bool FileRunner::isMetricsFile(const char* path) const {
    const MetricsFile* metrics = sideOutputs_.metrics();
    if (!metrics)
        return false;
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path match = fs::absolute(path, ec).lexically_normal();
    for (const std::string& name : {metrics->path(), metrics->path() + ".tmp"})
        if (fs::absolute(name, ec).lexically_normal() == match && !ec)
            return true;
    return false;
}

// Reading a file being written could grow it without end.
bool FileRunner::isOwnOutput(const char* path) const {
    if (isMetricsFile(path))
        return true;
    const FileId id = fileIdOf(path);
    return std::find(ownOutputs_.begin(), ownOutputs_.end(), id) != ownOutputs_.end();
}

// A followed log that is truncated or replaced starts again with its banner.
void FileRunner::runSingleFile(const char* logName) {
    FollowEnd end;
    do
        end = processFile(logName);
    while (end == FollowEnd::Truncated || end == FollowEnd::Replaced);
}

void FileRunner::runFilePattern(const char* pattern) {
    if (settings_.follow) {
        followNewestMatch(pattern);
        return;
    }
    std::string path;
    std::unique_ptr<FileSearch> search = findFirstFile(pattern, path);
    if (!search) {
        reportNoMatch(pattern);
        return;
    }
    do {
        if (!isOwnOutput(path.c_str()))
            processFile(path.c_str());
    } while (findNextFile(*search, path));
}

void FileRunner::reportNoMatch(const char* pattern) {
    console_.printf("Coundn't find matching file for [%s]\n", pattern);
    console_.diagnose("no file matches '%s'", pattern);
}

} // namespace qv
