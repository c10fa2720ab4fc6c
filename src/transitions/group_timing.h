// Timing of a complete transition group: the timecodes of its stored lines,
// the three delays, the running statistics and the group report.
#pragma once

#include "timebase/timebase.h"
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

/// True when the timecode column of a stored read is not a time of day at
/// the rate of `timebase`: its eight characters are not all digits 0-9 (a
/// short line, a shifted column, hex digits, the clamp), or hours > 23,
/// minutes or seconds > 59, a frame number the rate does not have.
/// A delay computed from a misread timecode is unsound.
bool timecodeMisread(const GroupSlot& slot, const Timebase& timebase = Timebase());

/// Fields (half frames) since 00:00:00 frame 00 of a BCD timecode hhmmssff.
/// Digits above 9 count with their value; there is no day boundary.
std::int32_t timecodeToFields(std::int32_t rawTimecode, const Timebase& timebase = Timebase());

enum class GroupType { Fade, Mix };

/// Reads the timecodes of the slots each delay of `type` subtracts and works
/// out the group's delays: between two sound timecodes the short way round
/// midnight, else the raw difference.
GroupDelays computeGroupDelays(const TransitionGroup& group, GroupType type,
                               const Timebase& timebase = Timebase());

/// Folds a complete group into the three statistics and, in standard mode,
/// reports it when delay 1 is negative or a statistic reached a new extreme.
void analyzeFadeGroup(TransitionAnalysis& analysis, std::int64_t groupNumber, int summaryMode,
                      int sniffSeen);
void analyzeMixGroup(TransitionAnalysis& analysis, std::int64_t groupNumber, int summaryMode,
                     int sniffSeen);

} // namespace qv
