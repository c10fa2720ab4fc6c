// The scales that every panel of a chart shares: the delay axis, the length
// of the time axis, its ticks and the width of a column of groups.
#pragma once

#include "sinks/chart_data.h"
#include "sinks/chart_format.h"

#include <cstdint>
#include <span>
#include <vector>

namespace qv {

/// The plot is this many pixels wide.
inline constexpr int kPlotColumns = 720;

/// A column with at least this many groups gets a 5-95 % band that leaves
/// out one group at each end.
inline constexpr int kBandGroups = 20;

struct ChartScales {
    ValueAxis frames;        // the delay axis, in frames
    std::int64_t timeLength; // fields, every panel's time axis
    std::int64_t timeUnit;   // a panel starts at its first time rounded down to this
    std::int64_t timeStep;   // fields between time ticks
    bool seconds;            // time labels carry seconds
    int bucketWidth;         // pixels of one column of groups

    std::int64_t lowFields() const { return static_cast<std::int64_t>(frames.lo * 2); }
    std::int64_t highFields() const { return static_cast<std::int64_t>(frames.hi * 2); }
    int buckets() const { return kPlotColumns / bucketWidth; }
    /// Where a file's time axis starts.
    std::int64_t start(const ChartFile& file) const { return floorTo(file.firstTime, timeUnit); }
    /// The column of groups of an axis place, for an axis starting at `start`.
    int bucket(std::int64_t start, std::int64_t time) const;
};

/// The `permille`/1000 nearest-rank percentile of `values` (reordered): the
/// ceil(permille/1000 * n)-th smallest, counted from 1.
std::int32_t nearestRank(std::span<std::int32_t> values, int permille);

/// Scales for all files of the run; `points` hold their time-axis places.
ChartScales chartScales(const std::vector<ChartFile>& files, const std::vector<ChartPoint>& points,
                        const ChartOptions& options);

/// The delay axis alone: the bulk of the delays (0.5th to 99.5th percentile
/// of each), widened to 0 and every limit.
ValueAxis delayAxis(const std::vector<ChartPoint>& points, const ChartOptions& options);

} // namespace qv
