// The time axis in log order: opening times become axis places that follow
// the order of the log across midnight and clocks set back.
#pragma once

#include "sinks/chart_data.h"
#include "timebase/timebase.h"

#include <span>

namespace qv {

/// `to` minus `from`, both times of day in fields, taken the short way
/// round: more than half a day earlier is the next day, more than half a
/// day later the day before.
std::int32_t clockStep(std::int32_t from, std::int32_t to, const Timebase& timebase);

/// Places the timed points of one file (in log order, `time` as read) on the
/// time axis and fills `file`'s segments, time range and untimed count. A
/// single time more than 5 minutes away from both its neighbours, which
/// agree, loses its place.
void layOutTimes(std::span<ChartPoint> points, ChartFile& file, const Timebase& timebase);

} // namespace qv
