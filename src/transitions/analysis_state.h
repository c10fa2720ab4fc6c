// Per-file counters, the three delay statistics and the one transition group
// being assembled. FileStats is reset before every log file; the group is
// never cleared and carries over from group to group and file to file. The
// run owns both (see TransitionAnalysis in transitions.h).
#pragma once

#include "timebase/timebase.h"
#include "transitions/delays.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace qv {

/// Min/max start as bounds: a delta must be strictly below 65535 or strictly
/// above 0 to replace them. Sums are exact 64-bit values.
struct DeltaStat {
    std::int64_t min = 65535;
    std::int64_t max = 0;
    std::int64_t sum = 0;
};

/// The average the run summary prints: integer division truncating toward
/// zero. `count` is the file's transitionCount, never 0 here.
inline std::int64_t deltaAverage(const DeltaStat& stat, std::int64_t count) {
    return stat.sum / count;
}

struct FileStats {
    std::int64_t lineCount = 0;
    std::int64_t transitionCount = 0;
    std::int64_t startlineCount = 0;
    std::int64_t blockErrorCount = 0;
    int blockErrorReported = 0;
    DeltaStat delays[kDelayCount]; // by Delay: delays[Rev2Router] ...
    RateWatch rateWatch;           // the timed timecodes, at 30 frames/s only
};

/// The kinds of line that make up a group, numbered by their bit in lineMask.
enum LineKind : int {
    START = 0,
    XFER = 1,
    REV_BUS = 2,
    DONE = 3,
    DEBUG_RTR = 4,
    REV_BLK = 5,
    ROUTER_01 = 6,
};

inline constexpr int kLineKindCount = 7;
inline constexpr std::uint32_t lineKindBit(LineKind kind) {
    return 1u << kind;
}

extern const char* const lineKindNames[kLineKindCount];

inline constexpr std::size_t kSlotTextSize = 250;
inline constexpr int kSlotCount = 35;
inline constexpr int kFirstRouterSlot = 6;

struct GroupSlot {
    char text[kSlotTextSize] = {};
    std::size_t length = 0; // bytes of `text` in use (a read may hold NUL bytes)
    std::int64_t lineNumber = 0;

    std::string_view view() const { return {text, length}; }
    void store(std::string_view line, std::int64_t number);
};

struct TransitionGroup {
    std::uint32_t lineMask = 0;
    GroupSlot slots[kSlotCount];
};

} // namespace qv
