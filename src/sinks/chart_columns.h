// The columns of groups of one panel: per column and delay the order
// statistics the chart draws, and which columns hold reported groups and
// breaches.
#pragma once

#include "sinks/chart_data.h"
#include "sinks/chart_scales.h"

#include <span>
#include <vector>

namespace qv {

/// One delay of a column, in fields; percentiles by nearest rank.
struct ColumnDelay {
    std::int32_t min, p5, median, p95, max;
};

/// Order statistics of `values` (reordered, not empty).
ColumnDelay columnDelay(std::span<std::int32_t> values);

struct Column {
    std::int32_t count = 0;
    std::int32_t reported = 0;
    bool breach = false; // a delay above its limit
    ColumnDelay delays[kDelayCount] = {};
    std::int32_t reportedLow[kDelayCount] = {}, reportedHigh[kDelayCount] = {};
};

/// True when `delay` of a group is above its limit.
bool breaches(const ChartOptions& options, int delay, std::int32_t fields);

/// The columns of a file's points (those with a place in time) on an axis
/// starting at `start`.
std::vector<Column> makeColumns(std::span<const ChartPoint> points, const ChartScales& scales,
                                std::int64_t start, const ChartOptions& options);

} // namespace qv
