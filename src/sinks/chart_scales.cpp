#include "sinks/chart_scales.h"

#include "sinks/numbers.h"

#include <algorithm>
#include <iterator>

namespace qv {

namespace {

constexpr std::int64_t kHour = 216000;
constexpr std::int64_t kSecond = 60;

// Plain steps of the time axis, in seconds.
constexpr std::int64_t kStepSeconds[] = {1,   2,   5,    10,   15,   30,    60,    120,   300,
                                         600, 900, 1800, 3600, 7200, 10800, 21600, 43200, 86400};
constexpr int kMaxTimeTicks = 8;

// Room beyond the bulk of the delays, as a share of its span: a slow spell
// a little above the 99.5th percentile still shows in full.
constexpr double kHeadroom = 0.15;

std::int64_t ceilTo(std::int64_t value, std::int64_t step) {
    return -floorTo(-value, step);
}

// The longest span of a file from its first time rounded down to `unit`.
std::int64_t longestSpan(const std::vector<ChartFile>& files, std::int64_t unit) {
    std::int64_t span = 0;
    for (const ChartFile& f : files)
        if (!f.segments.empty())
            span = std::max(span, ceilTo(f.lastTime - floorTo(f.firstTime, unit), unit));
    return std::max(span, unit);
}

// Whole hours once some file spans an hour, else the finest plain step
// that needs at most kMaxTimeTicks of its own.
std::int64_t timeUnit(const std::vector<ChartFile>& files) {
    std::int64_t span = 0;
    for (const ChartFile& f : files)
        if (!f.segments.empty())
            span = std::max<std::int64_t>(span, f.lastTime - f.firstTime);
    for (std::int64_t seconds : kStepSeconds) {
        const std::int64_t unit = seconds * kSecond;
        if (unit >= kHour || (span < kHour && longestSpan(files, unit) <= kMaxTimeTicks * unit))
            return unit;
    }
    return kHour;
}

std::int64_t timeStep(std::int64_t length) {
    for (std::int64_t seconds : kStepSeconds)
        if (length <= kMaxTimeTicks * seconds * kSecond)
            return seconds * kSecond;
    return ceilTo(length / kMaxTimeTicks + 1, 24 * kHour); // logs of more than eight days
}

// The narrowest column whose typical occupied column holds enough groups for
// a band; sparse logs keep one-pixel columns of dots.
int bucketWidth(const std::vector<ChartFile>& files, const std::vector<ChartPoint>& points,
                ChartScales scales) {
    std::vector<std::int32_t> counts;
    for (int width : {1, 2, 3, 4, 6, 8}) {
        scales.bucketWidth = width;
        std::vector<std::int32_t> occupied;
        for (const ChartFile& f : files) {
            counts.assign(static_cast<std::size_t>(scales.buckets()), 0);
            for (std::size_t i = f.begin; i < f.end; ++i)
                if (points[i].timed())
                    ++counts[static_cast<std::size_t>(
                        scales.bucket(scales.start(f), points[i].time))];
            std::copy_if(counts.begin(), counts.end(), std::back_inserter(occupied),
                         [](std::int32_t n) { return n > 0; });
        }
        if (!occupied.empty() && nearestRank(occupied, 500) >= kBandGroups)
            return width;
    }
    return 1;
}

} // namespace

int ChartScales::bucket(std::int64_t start, std::int64_t time) const {
    const std::int64_t at = (time - start) * buckets() / timeLength;
    return static_cast<int>(std::clamp<std::int64_t>(at, 0, buckets() - 1));
}

std::int32_t nearestRank(std::span<std::int32_t> values, int permille) {
    const auto at =
        values.begin() + static_cast<std::ptrdiff_t>(nearestRankIndex(values.size(), permille));
    std::nth_element(values.begin(), at, values.end());
    return *at;
}

ValueAxis delayAxis(const std::vector<ChartPoint>& points, const ChartOptions& options) {
    std::int64_t low = 0, high = 0; // zero always shows
    std::vector<std::int32_t> values(points.size());
    for (int d = 0; d < kDelayCount && !points.empty(); ++d) {
        for (std::size_t i = 0; i < points.size(); ++i)
            values[i] = points[i].delays[d];
        low = std::min<std::int64_t>(low, nearestRank(values, 5));
        high = std::max<std::int64_t>(high, nearestRank(values, 995));
    }
    for (const auto& limit : options.limits)
        if (limit) {
            low = std::min(low, *limit);
            high = std::max(high, *limit);
        }
    const double pad = std::max(0.5, static_cast<double>(high - low) / 2 * kHeadroom);
    return valueAxis(low < 0 ? static_cast<double>(low) / 2 - pad : 0.0,
                     static_cast<double>(high) / 2 + pad, 1, 6);
}

ChartScales chartScales(const std::vector<ChartFile>& files, const std::vector<ChartPoint>& points,
                        const ChartOptions& options) {
    ChartScales scales{};
    scales.frames = delayAxis(points, options);
    scales.timeUnit = timeUnit(files);
    scales.timeLength = longestSpan(files, scales.timeUnit);
    scales.timeStep = timeStep(scales.timeLength);
    scales.seconds = scales.timeStep < 60 * kSecond;
    scales.bucketWidth = bucketWidth(files, points, scales);
    return scales;
}

} // namespace qv
