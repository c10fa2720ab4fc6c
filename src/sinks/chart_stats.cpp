#include "sinks/chart_stats.h"

#include "sinks/numbers.h"

#include <algorithm>
#include <cmath>

namespace qv {

namespace {

// A fence this many interquartile ranges beyond a quartile: far enough that
// no sound delay of a normal day lies outside, near enough that a quarter of
// wild values (whole hours or days off) cannot reach it.
constexpr std::int64_t kFenceRanges = 3;

} // namespace

ValueAxis valueAxis(double low, double high, int maxTicks) {
    for (double power = 1;; power *= 10)
        for (double factor : {1.0, 2.0, 5.0}) {
            const double step = power * factor;
            const double lo = std::floor(low / step) * step;
            const double hi = std::max(std::ceil(high / step) * step, lo + step);
            if ((hi - lo) / step <= maxTicks + 1e-9 || power > 1e12)
                return {lo, hi, step};
        }
}

DelayStats delayStats(std::vector<std::int32_t>& values) {
    DelayStats s;
    s.count = static_cast<std::int64_t>(values.size());
    if (values.empty())
        return s;
    std::sort(values.begin(), values.end());
    const auto rank = [&values](int percent) {
        return values[nearestRankIndex(values.size(), percent * 10)];
    };
    s.p5 = rank(5), s.p50 = rank(50), s.p95 = rank(95), s.max = values.back();
    return s;
}

ValueAxis delayAxis(std::span<const ChartPoint> points, const ChartOptions& options) {
    std::int64_t low = 0, high = 0; // zero always shows
    std::vector<std::int32_t> values(points.size());
    for (int d = 0; d < kDelayCount && !points.empty(); ++d) {
        for (std::size_t i = 0; i < points.size(); ++i)
            values[i] = points[i].delays[d];
        std::sort(values.begin(), values.end());
        // One rank inside each quarter, so that wild values on one side, up to
        // a full quarter of them, never make a quartile.
        const std::size_t quarter = values.size() / 4;
        const std::int64_t q1 = values[quarter];
        const std::int64_t q3 = values[values.size() - 1 - quarter];
        const std::int64_t fenceLow = q1 - kFenceRanges * (q3 - q1);
        const std::int64_t fenceHigh = q3 + kFenceRanges * (q3 - q1);
        // What occurs within the fences (the quartiles always do).
        low = std::min<std::int64_t>(
            low, *std::lower_bound(values.begin(), values.end(), clampToInt32(fenceLow)));
        high = std::max<std::int64_t>(
            high, *(std::upper_bound(values.begin(), values.end(), clampToInt32(fenceHigh)) - 1));
    }
    for (const auto& limit : options.limits)
        if (limit) {
            low = std::min(low, *limit);
            high = std::max(high, *limit);
        }
    const double pad = std::max(0.5, static_cast<double>(high - low) / 2 * 0.05);
    return valueAxis(low < 0 ? static_cast<double>(low) / 2 - pad : 0.0,
                     static_cast<double>(high) / 2 + pad, 6);
}

} // namespace qv
