// What the delay chart keeps of a run: 20 bytes per group with sound delays
// and, per log file, its name, figures and time layout. The picture is drawn
// from it at the end (and, when following, every few seconds).
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

/// One table of what each delay is called and drawn in (colour-blind safe).
struct DelayLook {
    const char* name;   // as the report writes it
    const char* key;    // as /limit takes it
    const char* colour; // median lines and marks
};
inline constexpr DelayLook kDelayLooks[kDelayCount] = {
    {"Rev2Router", "rev2router", "#0072b2"},
    {"RtrCmd2Status", "rtrcmd2status", "#e69f00"},
    {"RtrCmd2MX", "rtrcmd2mx", "#009e73"}};

inline constexpr std::uint8_t kNoHour = 0xFF;

/// One group whose three delays are sound.
struct ChartPoint {
    /// The opening line's time in fields since 00:00 as read; once its file
    /// has been laid out, its place on the time axis (see TimeSegment).
    std::int32_t time;
    std::int32_t delays[kDelayCount]; // fields
    bool timed;                       // it has a place on the time axis
    std::uint8_t hour;                // hour of day of its opening timecode, or kNoHour
};

static_assert(sizeof(ChartPoint) <= 20);

/// A stretch of the time axis over which the log's clock ran on. A clock set
/// back starts a new one, placed right after the one before, so that the axis
/// keeps the order of the log.
struct TimeSegment {
    std::int32_t first; // axis place of its first group
    std::int32_t shift; // axis place minus clock time (fields since 00:00 of day 1)
};

/// One log file of the run: about 200 bytes besides its name.
struct ChartFile {
    std::string name;
    FileSummaryFigures summary;
    std::size_t begin = 0, end = 0;           // its points
    std::int64_t unsound = 0;                 // left out: a delay from a misread timecode
    std::int64_t untimed = 0;                 // sound delays, no place on the time axis
    std::int64_t breaches = 0;                // sound delays above their limit
    std::vector<TimeSegment> segments;        // empty when no group has a place in time
    std::int32_t firstTime = 0, lastTime = 0; // axis range of its placed groups

    std::size_t pointCount() const { return end - begin; }
};

} // namespace qv
