// The delay chart: keeps every group with sound delays of each file and, at
// the end of the run, writes one self-contained SVG 1.1 document with a panel
// per log file, all panels on the same scales.
#pragma once

#include "platform/text_writer.h"
#include "sinks/chart_data.h"
#include "transitions/group_log.h"

#include <string>
#include <vector>

namespace qv {

class DelayChart final : public TransitionObserver {
  public:
    DelayChart() = default;
    explicit DelayChart(const ChartOptions& options) : options_(options) {}

    void beginFile(std::string_view name) override;
    void group(const TransitionRecord& record) override;
    /// Places the file's groups on its time axis.
    void endFile(const FileSummaryFigures& summary) override;

    std::size_t panelCount() const { return files_.size(); }
    /// The whole document, panels in the order of the files.
    std::string document() const;
    void write(TextFileWriter& file) const { file.writeRaw(document()); }

  private:
    ChartOptions options_;
    std::vector<ChartPoint> points_; // of every file, in log order
    std::vector<ChartFile> files_;
};

} // namespace qv
