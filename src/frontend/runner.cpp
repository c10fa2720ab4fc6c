#include "frontend/runner.h"

#include "platform/platform.h"
#include "search/line_reader.h"
#include "sources/gzip_source.h"
#include "sources/inflate_ahead.h"

#include <algorithm>
#include <cstdlib>
#include <string>

namespace qv {

namespace {

// Logs from this size on are read ahead on a second thread; for smaller
// ones starting it would cost more than it saves. Bigger chunks then mean
// fewer hand-overs between the threads, which pays up to about 1 MiB; the
// buffers are a large page each, whose faults cost far less than 4 KiB ones.
constexpr std::int64_t kReadAheadFrom = std::int64_t{1} << 22;
constexpr std::size_t kReadAheadBuffer = kLargePageSize;

TransitionOptions transitionOptions(const RunSettings& s) {
    TransitionOptions options;
    options.srchname = s.srchname;
    options.outputtext = s.outputtext;
    options.levelText = s.levelText;
    options.levelFilter = s.levelFilter;
    options.summaryMode = s.summaryMode;
    options.excelMode = s.excelMode;
    options.timebase = s.timebase;
    return options;
}

// QUORVEX_THREADS sets how many threads inflate compressed logs in a pattern
// run (1: the file being scanned only, as on one core); else one per core
// the process may run on.
int inflateThreads() {
    if (const char* set = std::getenv("QUORVEX_THREADS")) {
        const int n = std::atoi(set);
        if (n >= 1)
            return std::min(n, 64);
    }
    return usableCores();
}

LineScanOptions lineScanOptions(const RunSettings& s) {
    const std::string_view grepText = s.analyzeMode == AnalyzeMode::Grep ? s.grepText : "";
    return {s.summaryMode, grepText, s.grepQuiet, s.timebase};
}

} // namespace

FileRunner::FileRunner(const RunSettings& settings, Console& console, TextFileWriter* outputFile,
                       SideOutputs& sideOutputs, const OutputGuard& guard,
                       std::unique_ptr<StopKeys>& stopKeys)
    : settings_(settings), console_(console), outputFile_(outputFile), sideOutputs_(sideOutputs),
      guard_(guard), report_(console, outputFile),
      transitions_(transitionOptions(settings), report_), lineScans_(lineScanOptions(settings)),
      stopKeys_(stopKeys) {
    lineScans_.found = &lineHits_;
    sideOutputs_.attach(transitions_.groupLog);
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
        if (transitions_.fileStats.rateWatch.looksLike25())
            console_.diagnose("no frame above 24 in %lld timecodes of %s: the log may come from a "
                              "25 frames/s station (/fps 25)",
                              static_cast<long long>(transitions_.fileStats.rateWatch.seen()),
                              name);
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
// `again`: a followed path opened anew after its end. Returns how the
// follow of the file ended.
FollowEnd FileRunner::processFile(const char* name, bool again) {
    resetFileStats(transitions_);
    lineCount_ = 0;
    sideOutputs_.beginLog();
    const bool standardInputLog = std::string_view(name) == "-";
    opened_ = false;          // a refusal leaves this log out of the analysed ones
    guard_.refuseAsLog(name); // a followed path may have come to name an output
    std::string whyNot;
    bool notRegular = false;
    // Closed also when a failed write or a lack of memory ends the scan.
    OpenFile file(standardInputLog ? standardInput()
                  : again          ? reopenFollowed(name, whyNot, notRegular)
                                   : openForRead(name, &whyNot));
    if (!file && notRegular) {
        console_.diagnose("/follow ended: %s is no longer a regular file", name);
        return FollowEnd::EndOfFile;
    }
    if (!file)
        fatal(console_, whyNot, "Error opening %s\n", name);
    opened_ = true;
    report_.print("**** Processing File %s ****\n", name);
    std::string readError;
    FollowEnd end = FollowEnd::EndOfFile;
    if (followed(name, file.get()))
        end = followFile(name, file.get(), readError);
    else
        readFile(name, file.get(), readError);
    file.reset();
    // The report of what was read stands; the run must still not claim success.
    if (!readError.empty())
        fatal(console_, readError, "Error reading %s\n", name);
    ++filesAnalysed_;
    sideOutputs_.progress(linesRead(), lineHits_);
    sideOutputs_.endLog();
    return end;
}

void FileRunner::readFile(const char* name, std::FILE* file, std::string& readError) {
    const std::int64_t sizeAtOpen = regularFileSize(file);
    {
        // A big log is read on a second thread while the scan works.
        const bool readAhead = sizeAtOpen >= kReadAheadFrom;
        FileSource fileBytes(file);
        // Inflated ahead already: the text is read from there, on no further thread.
        std::unique_ptr<ByteSource> source =
            ahead_ ? ahead_->take(aheadIndex_++, regularFileIdOf(file)) : nullptr;
        const bool inflatedAhead = source != nullptr;
        if (!source)
            source = openLogSource(fileBytes);
        LineReader logFile(*source, kLogReadMax,
                           readAhead || inflatedAhead ? kReadAheadBuffer : kReadBufferSize);
        if (readAhead && !inflatedAhead)
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

// Reading a file being written could grow it without end.
bool FileRunner::isOwnOutput(const char* path) const {
    return guard_.isOwnOutput(path);
}

// A followed log that is truncated or replaced starts again with its banner.
void FileRunner::runSingleFile(const char* logName) {
    FollowEnd end = processFile(logName, false);
    while (end == FollowEnd::Truncated || end == FollowEnd::Replaced)
        end = processFile(logName, true);
}

void FileRunner::runFilePattern(const char* pattern) {
    if (settings_.follow) {
        followNewestMatch(pattern);
        return;
    }
    std::string whyNot;
    const std::vector<std::string> logs = listMatches(pattern, &whyNot);
    // Only the run's own files is no log either, as a followed pattern says too.
    if (logs.empty()) {
        reportNoMatch(pattern, whyNot);
        return;
    }
    runLogs(logs, pattern);
}

// The matches of `pattern` in the platform's order, the run's own outputs
// left out; `whyNot` says why the search could not be made.
std::vector<std::string> FileRunner::listMatches(const char* pattern, std::string* whyNot) const {
    std::vector<std::string> logs;
    std::string path;
    std::unique_ptr<FileSearch> search = findFirstFile(pattern, path, whyNot);
    if (!search)
        return logs;
    do {
        if (!isOwnOutput(path.c_str()))
            logs.push_back(path);
    } while (findNextFile(*search, path));
    return logs;
}

void FileRunner::runFileList(const std::vector<std::string>& given) {
    std::vector<std::string> logs;
    for (const std::string& log : given)
        if (!isOwnOutput(log.c_str()))
            logs.push_back(log);
    runLogs(logs, nullptr);
}

void FileRunner::runLogs(const std::vector<std::string>& logs, const char* pattern) {
    // The compressed logs after the one scanned are inflated on the other cores.
    const int threads = inflateThreads();
    if (threads > 1 && logs.size() > 1) {
        ahead_ = std::make_unique<InflateAhead>(logs, threads);
        aheadIndex_ = 0;
    }
    for (std::size_t i = 0; i < logs.size(); ++i) {
        try {
            processFile(logs[i].c_str());
        } catch (const ProgramExit&) {
            reportNotAnalysed(pattern,
                              static_cast<std::int64_t>(logs.size() - i - 1) + (opened_ ? 0 : 1));
            throw;
        }
    }
    ahead_.reset();
}

// A match that cannot be opened or read ends the run; what it leaves out
// must not go unsaid.
void FileRunner::reportNotAnalysed(const char* pattern, std::int64_t left) {
    if (left > 0 && pattern)
        console_.diagnose("%lld match%s of '%s' not analysed", static_cast<long long>(left),
                          left == 1 ? "" : "es", pattern);
    else if (left > 0)
        console_.diagnose("%lld log%s of the list not analysed", static_cast<long long>(left),
                          left == 1 ? "" : "s");
}

// A folder that cannot be read is no empty folder.
void FileRunner::reportNoMatch(const char* pattern, const std::string& whyNot) {
    if (!whyNot.empty())
        fatal(console_, whyNot, "Error opening %s\n", pattern);
    console_.printf("Coundn't find matching file for [%s]\n", pattern);
    console_.diagnose("no file matches '%s'", pattern);
}

} // namespace qv
