// The figures the chart draws: nearest-rank statistics of sound delays (as the
// hourly table computes them) and the delay axis, which wild values cannot move.
#pragma once

#include "sinks/chart_data.h"

#include <cstdint>
#include <span>
#include <vector>

namespace qv {

/// A delay axis from `lo` to `hi` frames in ticks of `step`; lo and hi are
/// multiples of step.
struct ValueAxis {
    double lo;
    double hi;
    double step;

    bool above(std::int64_t fields) const { return static_cast<double>(fields) / 2 > hi; }
    bool below(std::int64_t fields) const { return static_cast<double>(fields) / 2 < lo; }
};

/// Covers [low, high] with at most `maxTicks` intervals of 1, 2 or 5 times a
/// power of ten, never finer than one frame.
ValueAxis valueAxis(double low, double high, int maxTicks);

/// One delay over some groups, in fields; count 0 leaves the rest unset.
struct DelayStats {
    std::int64_t count = 0;
    std::int32_t p5 = 0, p50 = 0, p95 = 0, max = 0;
};

/// The statistics of `values` (reordered): nearest rank, the ceil(P/100 * n)-th smallest.
DelayStats delayStats(std::vector<std::int32_t>& values);

/// The delay axis of a run: per delay, from the smallest to the largest
/// sound delay within three interquartile ranges beyond the quartiles,
/// widened to 0 and every limit, with a little room.
ValueAxis delayAxis(std::span<const ChartPoint> points, const ChartOptions& options);

} // namespace qv
