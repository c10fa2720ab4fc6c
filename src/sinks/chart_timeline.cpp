#include "sinks/chart_timeline.h"

#include "sinks/numbers.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace qv {

namespace {

constexpr std::int32_t kHalfDay = kFieldsPerDay / 2;

bool near(std::int32_t a, std::int32_t b) {
    return std::abs(clockStep(a, b)) <= kClockJitter;
}

// A misread that still looks like a time of day: its neighbours agree and
// it agrees with neither.
void dropOutOfOrder(std::span<ChartPoint> points, const std::vector<std::size_t>& timed,
                    ChartFile& file) {
    for (std::size_t i = 1; i + 1 < timed.size(); ++i) {
        const std::int32_t before = points[timed[i - 1]].time;
        const std::int32_t after = points[timed[i + 1]].time;
        ChartPoint& p = points[timed[i]];
        if (near(before, after) && !near(before, p.time) && !near(p.time, after)) {
            p.flags &= static_cast<std::uint8_t>(~kPointTimed);
            ++file.outOfOrder;
        }
    }
}

} // namespace

std::int32_t clockStep(std::int32_t from, std::int32_t to) {
    std::int32_t step = to - from;
    if (step < -kHalfDay)
        step += kFieldsPerDay;
    else if (step > kHalfDay)
        step -= kFieldsPerDay;
    return step;
}

void layOutTimes(std::span<ChartPoint> points, ChartFile& file) {
    std::vector<std::size_t> timed;
    for (std::size_t i = 0; i < points.size(); ++i)
        if (points[i].timed())
            timed.push_back(i);
    dropOutOfOrder(points, timed, file);
    std::int64_t clock = 0, shift = 0, first = 0, last = 0;
    std::int32_t previous = 0; // time of day as read
    for (std::size_t i : timed) {
        ChartPoint& p = points[i];
        if (!p.timed())
            continue;
        if (file.segments.empty()) {
            clock = first = last = p.time;
            file.segments.push_back({p.time, 0});
        } else {
            const std::int32_t step = clockStep(previous, p.time);
            clock += step;
            if (step < -kClockJitter) { // set back: go on right after the groups so far
                shift = last - clock;
                file.segments.push_back({clampToInt32(last), clampToInt32(shift)});
            }
        }
        previous = p.time;
        p.time = clampToInt32(clock + shift);
        first = std::min<std::int64_t>(first, p.time);
        last = std::max<std::int64_t>(last, p.time);
    }
    file.firstTime = clampToInt32(first);
    file.lastTime = clampToInt32(last);
}

} // namespace qv
