// What the delay chart keeps of a run: 20 bytes per group with sound delays
// and, per log file, its name, figures and time layout. The panels are drawn
// from it when the run ends, so that they can share their scales.
#pragma once

#include "transitions/group_log.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qv {

/// How the chart is drawn beyond what the run gives it.
struct ChartOptions {
    /// Per delay, the largest delay in fields that is not a breach; without
    /// one, no limit is drawn for that delay.
    std::optional<std::int64_t> limits[kDelayCount];
};

/// Flags of a ChartPoint.
enum : std::uint8_t {
    kPointReported = 1, // the report printed it (negative Rev2Router or a new extreme)
    kPointTimed = 2,    // it has a place on the time axis
};

/// One group whose three delays are sound.
struct ChartPoint {
    /// The opening line's time in fields since 00:00 as read; once its file
    /// has ended, its place on the time axis (see TimeSegment).
    std::int32_t time;
    std::int32_t delays[kDelayCount]; // fields
    std::uint8_t flags;

    bool reported() const { return (flags & kPointReported) != 0; }
    bool timed() const { return (flags & kPointTimed) != 0; }
};

static_assert(sizeof(ChartPoint) <= 20);

inline constexpr std::int32_t kFieldsPerDay = 24 * 216000;

/// A stretch of the time axis over which the log's clock ran on. A clock set
/// back starts a new one, placed right after the one before, so that the axis
/// keeps the order of the log.
struct TimeSegment {
    std::int32_t first; // axis place of its first group
    std::int32_t shift; // axis place minus clock time (fields since 00:00 of day 1)
};

/// One log file of the run.
struct ChartFile {
    std::string name;
    FileSummaryFigures summary;
    std::size_t begin = 0, end = 0;           // its points
    std::int64_t groups = 0;                  // every timed group, sound or not
    std::int64_t unsound = 0;                 // left out: a delay from a misread timecode
    std::int64_t misreadStart = 0;            // sound delays, opening timecode misread
    std::int64_t outOfOrder = 0;              // a single opening time out of the log's order
    std::vector<TimeSegment> segments;        // empty when no group has a place in time
    std::int32_t firstTime = 0, lastTime = 0; // axis range of its placed groups

    std::size_t pointCount() const { return end - begin; }
};

} // namespace qv
