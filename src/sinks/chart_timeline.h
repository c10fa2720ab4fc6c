// The time axis in log order: opening times become axis places that follow
// the order of the log across midnight and clocks set back.
#pragma once

#include "sinks/chart_data.h"

#include <span>

namespace qv {

/// Within this much an earlier time is jitter of the same clock, in fields.
inline constexpr std::int32_t kClockJitter = 5 * 60 * 60;

/// `to` minus `from`, both times of day in fields, taken the short way
/// round: more than 12 h earlier is the next day, more than 12 h later the
/// day before.
std::int32_t clockStep(std::int32_t from, std::int32_t to);

/// Places the timed points of one file (in log order, `time` as read) on the
/// time axis and fills `file`'s segments, time range and outOfOrder count. A
/// single time away from both its neighbours, which agree, loses its place.
void layOutTimes(std::span<ChartPoint> points, ChartFile& file);

} // namespace qv
