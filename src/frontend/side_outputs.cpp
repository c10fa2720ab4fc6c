#include "frontend/side_outputs.h"

#include "platform/platform.h"

#include <cstdlib>

namespace qv {

// Two names for one file would truncate the log or interleave two writers.
void SideOutputs::refuseSameFile(const char* what, const std::string& path, const char* otherName,
                                 const char* other) {
    if (other && sameFile(path.c_str(), other))
        fatal(console_, "", "%s file %s is the %s file\n", what, path.c_str(), otherName);
}

void SideOutputs::refuseKnownFiles(const char* what, const std::string& path,
                                   const char* logArgument, const TextFileWriter* outputFile) {
    refuseSameFile(what, path, "log", settings_.multiFile ? nullptr : logArgument);
    refuseSameFile(what, path, "output", outputFile ? outputFile->path().c_str() : nullptr);
}

void SideOutputs::openCsv(const char* logArgument, const TextFileWriter* outputFile) {
    refuseKnownFiles("CSV", settings_.csvPath, logArgument, outputFile);
    auto csv = std::make_unique<TransitionCsv>(settings_.csvPath);
    if (!csv->isOpen())
        fatal(console_, csv->errorText(), "Error opening %s\n", settings_.csvPath.c_str());
    csv_ = std::move(csv);
}

void SideOutputs::openHours(const char* logArgument, const TextFileWriter* outputFile) {
    refuseKnownFiles("Hours", settings_.hoursPath, logArgument, outputFile);
    refuseSameFile("Hours", settings_.hoursPath, "CSV", csv_ ? csv_->path().c_str() : nullptr);
    auto hours = std::make_unique<HourlyStats>(settings_.hoursPath);
    if (!hours->isOpen())
        fatal(console_, hours->errorText(), "Error opening %s\n", settings_.hoursPath.c_str());
    hours_ = std::move(hours);
}

void SideOutputs::writeChart() {
    auto file = std::make_unique<TextFileWriter>(settings_.plotPath.c_str());
    if (!file->isOpen())
        fatal(console_, file->errorText(), "Error opening %s\n", settings_.plotPath.c_str());
    chart_->write(*file);
    closeOrFail(file, console_);
}

// Checked against the log and the other outputs by the output guard; the
// file itself appears after the first log.
void SideOutputs::openMetrics() {
    // A fixed clock makes the file's bytes reproducible for tests.
    const char* fixed = std::getenv("QUORVEX_METRICS_TIME");
    const AnalyzeMode mode = settings_.analyzeMode;
    const char* found = mode == AnalyzeMode::Grep         ? "quorvex_matches_total"
                        : mode == AnalyzeMode::CmdErrorTc ? "quorvex_command_errors_total"
                        : mode == AnalyzeMode::CountTakes ? "quorvex_takes_total"
                                                          : nullptr;
    metrics_ = std::make_unique<MetricsFile>(settings_.metricsPath, settings_.srchname,
                                             settings_.analyzeMode == AnalyzeMode::RouterTakes,
                                             settings_.limits, Timebase(),
                                             fixed ? std::atof(fixed) : -1.0, found);
}

void SideOutputs::writeMetrics() {
    std::string whyNot;
    if (metrics_ && !metrics_->write(whyNot))
        fatal(console_, whyNot, "Error writing %s\n", metrics_->path().c_str());
}

void SideOutputs::pollMetrics() {
    std::string whyNot;
    if (metrics_ && !metrics_->poll(whyNot))
        fatal(console_, whyNot, "Error writing %s\n", metrics_->path().c_str());
}

void SideOutputs::open(const char* logArgument, const TextFileWriter* outputFile) {
    if (settings_.metricsEnabled)
        openMetrics();
    if (settings_.analyzeMode != AnalyzeMode::RouterTakes)
        return;
    if (settings_.csvEnabled)
        openCsv(logArgument, outputFile);
    if (settings_.hoursEnabled)
        openHours(logArgument, outputFile);
    if (settings_.plotEnabled) {
        refuseKnownFiles("Chart", settings_.plotPath, logArgument, outputFile);
        refuseSameFile("Chart", settings_.plotPath, "CSV", csv_ ? csv_->path().c_str() : nullptr);
        refuseSameFile("Chart", settings_.plotPath, "hours",
                       hours_ ? hours_->path().c_str() : nullptr);
        ChartOptions chart;
        for (int d = 0; d < kDelayCount; ++d)
            if (settings_.limits.fields[d] != DelayLimits::kNoLimit)
                chart.limits[d] = settings_.limits.fields[d];
        chart_ = std::make_unique<DelayChart>(chart);
    }
}

void SideOutputs::attach(GroupLog& groupLog) {
    if (csv_)
        groupLog.add(*csv_);
    if (hours_)
        groupLog.add(*hours_);
    if (chart_)
        groupLog.add(*chart_);
    if (metrics_)
        groupLog.add(*metrics_);
}

void SideOutputs::addIdentities(std::vector<FileId>& into) const {
    if (csv_)
        into.push_back(fileIdOf(csv_->path().c_str()));
    if (hours_)
        into.push_back(fileIdOf(hours_->path().c_str()));
    if (chart_) // a chart left by an earlier run, written over at the end
        into.push_back(fileIdOf(settings_.plotPath.c_str()));
}

void SideOutputs::flush() {
    if (csv_)
        csv_->flush();
    if (hours_)
        hours_->flush();
}

void SideOutputs::finish() {
    writeMetrics();
    metrics_.reset();
    closeOrFail(csv_, console_);
    closeOrFail(hours_, console_);
    if (chart_) {
        writeChart();
        chart_.reset();
    }
}

void SideOutputs::abandon() {
    csv_.reset();
    hours_.reset();
    chart_.reset();
    metrics_.reset(); // the last file written stays
}

} // namespace qv
