// The delay chart: keeps every group with sound delays of each file and writes
// one self-contained SVG 1.1 document: for a run over several files first an
// overview with a column per file, then a column per hour of day across all
// files, then a panel per file over its time axis, all on one delay axis.
#pragma once

#include "platform/text_writer.h"
#include "sinks/chart_data.h"
#include "sinks/chart_stats.h"
#include "timebase/timebase.h"
#include "transitions/group_log.h"

#include <string>
#include <vector>

namespace qv {

class DelayChart final : public TransitionObserver {
  public:
    /// Past this many files the panels of the others are left out.
    static constexpr std::size_t kMaxPanels = 31;
    /// Past this many files a column of the overview holds several.
    static constexpr std::size_t kMaxColumns = 400;

    explicit DelayChart(const ChartOptions& options = {}, const Timebase& timebase = Timebase())
        : options_(options), timebase_(timebase) {}

    void beginFile(std::string_view name) override;
    void group(const TransitionRecord& record) override;
    void brokenGroup(const BrokenGroup& group) override;
    /// Places the file's groups on its time axis.
    void endFile(const FileSummaryFigures& summary) override;

    std::size_t fileCount() const { return files_.size(); }
    /// The whole document as the run stands; a file not ended yet shows
    /// what it holds so far.
    std::string document() const;
    void write(TextFileWriter& file) const { file.writeRaw(document()); }

  private:
    std::string overview(double& top, const ValueAxis& axis) const;
    std::string hours(double& top, const ValueAxis& axis) const;

    ChartOptions options_;
    Timebase timebase_;
    std::vector<ChartPoint> points_; // of every file, in log order
    std::vector<ChartFile> files_;
    bool open_ = false;                  // the last file has not ended
    std::int64_t brokenByHour_[24] = {}; // block errors by the hour of their opening line
};

} // namespace qv
