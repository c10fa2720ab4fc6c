// The delay chart: collects every timed group of each file and, at the end
// of the run, writes one self-contained SVG 1.1 document with a panel per
// log file.
#pragma once

#include "platform/text_writer.h"
#include "sinks/chart_panel.h"
#include "transitions/group_log.h"

#include <string>
#include <vector>

namespace qv {

class DelayChart final : public TransitionObserver {
  public:
    void beginFile(std::string_view name) override;
    void group(const TransitionRecord& record) override;
    /// Draws the file's panel and lets go of its groups.
    void endFile(const FileSummaryFigures& summary) override;

    std::size_t panelCount() const { return panels_.size(); }
    /// The whole document, panels in the order of the files.
    void write(TextFileWriter& file) const;

  private:
    std::string fileName_;
    std::vector<ChartPoint> points_;
    std::vector<std::string> panels_;
};

} // namespace qv
