// The side outputs of the ROUTER TAKES mode: the transitions CSV (/csv), the
// hourly statistics (/hours) and the delay chart (/plot). In the other modes
// none of them is touched.
#pragma once

#include "frontend/settings.h"
#include "platform/platform.h"
#include "platform/text_writer.h"
#include "report/report.h"
#include "sinks/delay_chart.h"
#include "sinks/hourly_stats.h"
#include "sinks/metrics_file.h"
#include "sinks/transition_csv.h"
#include "transitions/group_log.h"

#include <memory>
#include <string>
#include <vector>

namespace qv {

/// Closes and drops `file`, if open. A file that could not be written fully
/// must not pass for a success: that ends the run with "Error writing".
template <typename File> void closeOrFail(std::unique_ptr<File>& file, Console& console) {
    if (!file)
        return;
    const bool ok = file->close();
    const std::string path = file->path();
    const std::string reason = file->errorText();
    file.reset();
    if (!ok)
        fatal(console, reason, "Error writing %s\n", path.c_str());
}

class SideOutputs {
  public:
    SideOutputs(const RunSettings& settings, Console& console)
        : settings_(settings), console_(console) {}

    /// Start-up, right after the output file: creates the CSV, the hourly
    /// statistics and the chart's collector. A path that names the log, the
    /// output file or another side output ends the run before it is truncated.
    void open(const char* logArgument, const TextFileWriter* outputFile);

    /// Hands every timed group to the open side outputs.
    void attach(GroupLog& groupLog);

    /// Adds the identities of the side outputs that exist now, which a
    /// pattern run skips among its matches.
    void addIdentities(std::vector<FileId>& into) const;

    /// Writes the CSV and hourly rows so far out to their files (the chart
    /// waits for the end).
    void flush();

    /// End of a normal run: closes the CSV and the hourly statistics and
    /// writes the chart.
    void finish();

    /// A fatal exit: the CSV and the hourly statistics keep the rows written
    /// so far; no chart is written.
    void abandon();

    /// The metrics file (/metrics, any mode), or nullptr.
    MetricsFile* metrics() { return metrics_.get(); }
    const MetricsFile* metrics() const { return metrics_.get(); }
    /// Writes the metrics file now; a failure ends the run with "Error writing".
    void writeMetrics();
    /// While a log is followed: writes the metrics file when it is due.
    void pollMetrics();

  private:
    void openMetrics();
    void openCsv(const char* logArgument, const TextFileWriter* outputFile);
    void openHours(const char* logArgument, const TextFileWriter* outputFile);
    void refuseSameFile(const char* what, const std::string& path, const char* otherName,
                        const char* other);
    void refuseKnownFiles(const char* what, const std::string& path, const char* logArgument,
                          const TextFileWriter* outputFile);
    void writeChart();

    const RunSettings& settings_;
    Console& console_;
    std::unique_ptr<TransitionCsv> csv_;
    std::unique_ptr<HourlyStats> hours_;
    std::unique_ptr<DelayChart> chart_;
    std::unique_ptr<MetricsFile> metrics_;
};

} // namespace qv
