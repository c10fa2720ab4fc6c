#include "transitions/analysis_state.h"

#include "report/report.h"

#include <algorithm>
#include <cstring>

namespace qv {

const char* const lineKindNames[kLineKindCount] = {"START",     "XFER",    "REV_BUS",  "DONE",
                                                   "DEBUG_RTR", "REV_BLK", "ROUTER_01"};

FileStats fileStats;
TransitionGroup transitionGroup;

void GroupSlot::store(std::string_view line, std::int64_t number) {
    length = std::min(line.size(), kSlotTextSize - 1);
    std::memcpy(text, line.data(), length);
    text[length] = '\0';
    lineNumber = number;
}

void resetFileStats() {
    fileStats = FileStats{};
}

void reportMissingLines(int summaryMode) {
    ++fileStats.blockErrorCount;
    if (summaryMode != 0) {
        if (fileStats.blockErrorReported == 0) {
            fileStats.blockErrorReported = 1;
            reportPrintf(outputFile, "*** Transition block Error ***\n");
        }
        return;
    }
    for (int kind = 0; kind < kLineKindCount; ++kind) {
        if (transitionGroup.lineMask & (1u << kind))
            reportPrintf(outputFile, "Line %s not detected\n", lineKindNames[kind]);
    }
}

} // namespace qv
