// Timing of a complete transition group: the timecodes of its stored lines,
// the three delays, the running statistics and the group report.
#pragma once

#include "transitions/analysis_state.h"
#include "transitions/transitions.h"

#include <cstdint>

namespace qv {

/// Columns 65-72 of the stored read, counted from 0.
inline constexpr std::size_t kTimecodeColumn = 65;
inline constexpr std::size_t kTimecodeWidth = 8;

/// The raw timecode of a stored line: the timecode column read in base 16
/// (white space, sign and 0x prefix accepted, clamped to 0x7FFFFFFF).
std::int32_t readTimecode(const GroupSlot& slot);

/// True when the timecode column of a stored read is not a time of day: its
/// eight characters are not all digits 0-9 (a short line, a shifted column,
/// hex digits, the clamp), or hours > 23, minutes or seconds > 59, frames > 29.
/// A delay computed from a misread timecode is unsound.
bool timecodeMisread(const GroupSlot& slot);

/// Fields (1/60 s) since 00:00:00 frame 00 of a BCD timecode hhmmssff.
/// Digits above 9 count with their value; there is no day boundary.
std::int32_t timecodeToFields(std::int32_t rawTimecode);

enum class GroupType { Fade, Mix };

/// The three delays of one complete group, in fields.
struct GroupDelays {
    std::int64_t rev2Router;    // REV_BLK (fade) or REV_BUS (mix) minus first router line
    std::int64_t rtrCmd2Status; // DEBUG_RTR minus XFER
    std::int64_t rtrCmd2MX;     // first router line minus XFER
};

/// Which of the three delays come from two well-read timecodes.
struct DelaySoundness {
    bool rev2Router;
    bool rtrCmd2Status;
    bool rtrCmd2MX;
};

/// Reads the timecode columns of the slots each delay of `type` subtracts.
DelaySoundness delaySoundness(const TransitionGroup& group, GroupType type);

/// Reads the timecodes of slots 0 to 6 as they stand and works out the
/// group's delays.
GroupDelays computeGroupDelays(const TransitionGroup& group, GroupType type);

/// Folds a complete group into the three statistics and, in standard mode,
/// reports it when delay 1 is negative or a statistic reached a new extreme.
void analyzeFadeGroup(TransitionAnalysis& analysis, std::int64_t groupNumber, int summaryMode,
                      int sniffSeen);
void analyzeMixGroup(TransitionAnalysis& analysis, std::int64_t groupNumber, int summaryMode,
                     int sniffSeen);

} // namespace qv
