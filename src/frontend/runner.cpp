#include "frontend/runner.h"

#include "report/report.h"
#include "frontend/side_outputs.h"
#include "search/line_reader.h"
#include "platform/platform.h"
#include "scans/line_scans.h"
#include "transitions/analysis_state.h"
#include "transitions/group_log.h"
#include "transitions/transitions.h"

#include <string>

namespace qv {

namespace {

// Logs from this size on are read ahead on a second thread; for smaller
// ones starting it would cost more than it saves. Bigger chunks then mean
// fewer hand-overs between the threads, which pays up to about 1 MiB.
constexpr std::int64_t kReadAheadFrom = std::int64_t{1} << 22;
constexpr std::size_t kReadAheadBuffer = std::size_t{1} << 20;

void runScan(const char* name, LineReader& logFile, AnalyzeMode mode, int summaryMode,
             const char* grepText) {
    switch (mode) {
    case AnalyzeMode::RouterTakes:
        beginTransitionFile(name);
        scanTransitions(logFile, outputFile, summaryMode);
        printRunSummary();
        endTransitionFile();
        break;
    case AnalyzeMode::CmdErrorTc:
        scanCommandErrors(logFile, outputFile, summaryMode);
        break;
    case AnalyzeMode::CountTakes:
        countTakes(logFile, outputFile, summaryMode);
        break;
    case AnalyzeMode::Grep:
        grepLines(logFile, outputFile, grepText, summaryMode);
        break;
    }
}

// One log file: reset, open, banner, scan, close.
void processFile(const char* name, AnalyzeMode mode, int summaryMode, const char* grepText) {
    resetFileStats();
    std::FILE* file = openForRead(name);
    if (!file) {
        consolePrintf("Error opening %s\n", name);
        throw ProgramExit{1};
    }
    reportPrintf(outputFile, "**** Processing File %s ****\n", name);
    const std::int64_t sizeAtOpen = regularFileSize(file);
    bool readFailed = false;
    {
        // A big log is read on a second thread while the scan works.
        const bool readAhead = sizeAtOpen >= kReadAheadFrom;
        LineReader logFile(file, kLogReadMax, readAhead ? kReadAheadBuffer : kReadBufferSize);
        if (readAhead)
            logFile.readAhead();
        runScan(name, logFile, mode, summaryMode, grepText);
        readFailed = logFile.readError();
    }
    // A log that shrank while it was read was cut short under the scan.
    readFailed = readFailed || regularFileSize(file) < sizeAtOpen;
    std::fclose(file);
    // The report of what was read stands; the run must still not claim success.
    if (readFailed) {
        consolePrintf("Error reading %s\n", name);
        throw ProgramExit{1};
    }
}

} // namespace

void closeOutputFile() {
    if (!outputFile)
        return;
    const bool ok = outputFile->close();
    const std::string name = outputFile->path();
    delete outputFile;
    outputFile = nullptr;
    if (!ok) {
        consolePrintf("Error writing %s\n", name.c_str());
        throw ProgramExit{1};
    }
}

void runSingleFile(const char* logName, AnalyzeMode mode, int summaryMode, const char* grepText) {
    processFile(logName, mode, summaryMode, grepText);
    closeOutputFile();
}

void runFilePattern(const char* pattern, AnalyzeMode mode, int summaryMode, const char* grepText) {
    std::string path;
    std::unique_ptr<FileSearch> search = findFirstFile(pattern, path);
    if (!search) {
        consolePrintf("Coundn't find matching file for [%s]\n", pattern);
        return;
    }
    do {
        // Reading a file being written could grow it without end.
        if ((outputFile && sameFile(path.c_str(), outputFile->path().c_str())) ||
            isSideOutput(path.c_str()))
            continue;
        processFile(path.c_str(), mode, summaryMode, grepText);
    } while (findNextFile(*search, path));
    closeOutputFile();
}

} // namespace qv
