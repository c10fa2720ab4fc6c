// One log file's panel of the delay chart: the three delays of every timed
// group over the time of day of its opening line, their averages, one
// histogram per delay and a title with the file's run summary.
#pragma once

#include "transitions/group_log.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qv {

/// What the chart keeps of one group: 20 bytes, so the 100k groups of a
/// day-long log take about 2 MB while their file is being read.
struct ChartPoint {
    std::int32_t time;                // opening line, fields since 00:00:00
    std::int32_t delays[kDelayCount]; // fields
    bool reported;
};

static_assert(sizeof(ChartPoint) <= 20);

inline constexpr int kChartWidth = 1200;
inline constexpr int kPanelHeight = 410;
/// The plot is this many pixels wide; each pixel column is one bucket.
inline constexpr int kPlotColumns = 720;

/// Appends the panel's SVG elements, drawn from y 0 down to kPanelHeight.
void appendPanel(std::string& out, std::string_view fileName, const FileSummaryFigures& summary,
                 const std::vector<ChartPoint>& points);

} // namespace qv
