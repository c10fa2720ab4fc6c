// The three delays of a group, one index each, and their names: the display
// name the reports print and the key /limit takes and the CSV headers use.
#pragma once

#include <cstdint>

namespace qv {

enum Delay : int {
    Rev2Router = 0,    // REV_BLK (fade) or REV_BUS (mix) minus the first router line
    RtrCmd2Status = 1, // DEBUG_RTR minus XFER
    RtrCmd2MX = 2,     // the first router line minus XFER
};

inline constexpr int kDelayCount = 3;

struct DelayNames {
    const char* display; // "Rev2Router"
    const char* key;     // "rev2router"
};

inline constexpr DelayNames kDelayNames[kDelayCount] = {
    {"Rev2Router", "rev2router"},
    {"RtrCmd2Status", "rtrcmd2status"},
    {"RtrCmd2MX", "rtrcmd2mx"},
};

inline constexpr const char* delayName(int delay) {
    return kDelayNames[delay].display;
}
inline constexpr const char* delayKey(int delay) {
    return kDelayNames[delay].key;
}

/// The three delays of one complete group, in fields, and which of them come
/// from two well-read timecodes.
struct GroupDelays {
    std::int64_t fields[kDelayCount] = {};
    bool sound[kDelayCount] = {true, true, true};
};

} // namespace qv
