#include "sinks/chart_timeline.h"

#include "sinks/numbers.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace qv {

namespace {

// Within this much an earlier time is jitter of the same clock.
std::int32_t clockJitter(const Timebase& timebase) {
    return clampToInt32(timebase.fieldsPerHour() / 12);
}

// A misread that still looks like a time of day: its neighbours agree and
// it agrees with neither.
void dropOutOfOrder(std::span<ChartPoint> points, const std::vector<std::size_t>& timed,
                    ChartFile& file, const Timebase& timebase) {
    const auto near = [&timebase](std::int32_t a, std::int32_t b) {
        return std::abs(clockStep(a, b, timebase)) <= clockJitter(timebase);
    };
    for (std::size_t i = 1; i + 1 < timed.size(); ++i) {
        const std::int32_t before = points[timed[i - 1]].time;
        const std::int32_t after = points[timed[i + 1]].time;
        ChartPoint& p = points[timed[i]];
        if (near(before, after) && !near(before, p.time) && !near(p.time, after)) {
            p.timed = false;
            ++file.untimed;
        }
    }
}

} // namespace

std::int32_t clockStep(std::int32_t from, std::int32_t to, const Timebase& timebase) {
    const std::int64_t day = timebase.fieldsPerDay();
    std::int64_t step = std::int64_t{to} - from;
    if (step < -day / 2)
        step += day;
    else if (step > day / 2)
        step -= day;
    return clampToInt32(step);
}

void layOutTimes(std::span<ChartPoint> points, ChartFile& file, const Timebase& timebase) {
    std::vector<std::size_t> timed;
    for (std::size_t i = 0; i < points.size(); ++i)
        if (points[i].timed)
            timed.push_back(i);
    dropOutOfOrder(points, timed, file, timebase);
    std::int64_t clock = 0, shift = 0, first = 0, last = 0;
    std::int32_t previous = 0; // time of day as read
    for (std::size_t i : timed) {
        ChartPoint& p = points[i];
        if (!p.timed)
            continue;
        if (file.segments.empty()) {
            clock = first = last = p.time;
            file.segments.push_back({p.time, 0});
        } else {
            const std::int32_t step = clockStep(previous, p.time, timebase);
            clock += step;
            if (step < -clockJitter(timebase)) { // set back: go on after the groups so far
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
