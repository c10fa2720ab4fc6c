#include "frontend/side_outputs.h"

#include "report/report.h"
#include "frontend/settings.h"
#include "platform/platform.h"
#include "sinks/delay_chart.h"
#include "transitions/group_log.h"
#include "sinks/transition_csv.h"

#include <memory>

namespace qv {

namespace {

std::unique_ptr<TransitionCsv> csvFile;
std::unique_ptr<DelayChart> delayChart;

// Two names for one file would truncate the log or interleave two writers.
void refuseSameFile(const char* what, const std::string& path, const char* otherName,
                    const char* other) {
    if (!other || !sameFile(path.c_str(), other))
        return;
    consolePrintf("%s file %s is the %s file\n", what, path.c_str(), otherName);
    throw ProgramExit{1};
}

void refuseKnownFiles(const char* what, const std::string& path, const char* logArgument) {
    refuseSameFile(what, path, "log", settings.multiFile ? nullptr : logArgument);
    refuseSameFile(what, path, "output", outputFile ? outputFile->path().c_str() : nullptr);
}

void openCsv(const char* logArgument) {
    refuseKnownFiles("CSV", settings.csvPath, logArgument);
    auto csv = std::make_unique<TransitionCsv>(settings.csvPath);
    if (!csv->isOpen()) {
        consolePrintf("Error opening %s\n", settings.csvPath.c_str());
        throw ProgramExit{1};
    }
    csvFile = std::move(csv);
    addTransitionObserver(*csvFile);
}

void writeChart() {
    TextFileWriter file(settings.plotPath.c_str());
    if (!file.isOpen()) {
        consolePrintf("Error opening %s\n", settings.plotPath.c_str());
        throw ProgramExit{1};
    }
    delayChart->write(file);
    if (!file.close()) {
        consolePrintf("Error writing %s\n", settings.plotPath.c_str());
        throw ProgramExit{1};
    }
}

} // namespace

void openSideOutputs(const char* logArgument) {
    if (settings.analyzeMode != AnalyzeMode::RouterTakes)
        return;
    if (settings.csvEnabled)
        openCsv(logArgument);
    if (settings.plotEnabled) {
        refuseKnownFiles("Chart", settings.plotPath, logArgument);
        refuseSameFile("Chart", settings.plotPath, "CSV",
                       csvFile ? csvFile->path().c_str() : nullptr);
        delayChart = std::make_unique<DelayChart>();
        addTransitionObserver(*delayChart);
    }
}

bool isSideOutput(const char* path) {
    return (csvFile && sameFile(path, csvFile->path().c_str())) ||
           (delayChart && sameFile(path, settings.plotPath.c_str()));
}

void finishSideOutputs() {
    clearTransitionObservers();
    if (csvFile) {
        const bool ok = csvFile->close();
        csvFile.reset();
        if (!ok) {
            consolePrintf("Error writing %s\n", settings.csvPath.c_str());
            throw ProgramExit{1};
        }
    }
    if (delayChart) {
        writeChart();
        delayChart.reset();
    }
}

void abandonSideOutputs() {
    clearTransitionObservers();
    csvFile.reset();
    delayChart.reset();
}

} // namespace qv
