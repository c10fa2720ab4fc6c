#include "transitions/analysis_state.h"

#include "transitions/transitions.h"

#include <algorithm>
#include <cstring>

namespace qv {

const char* const lineKindNames[kLineKindCount] = {"START",     "XFER",    "REV_BUS",  "DONE",
                                                   "DEBUG_RTR", "REV_BLK", "ROUTER_01"};

void GroupSlot::store(std::string_view line, std::int64_t number) {
    length = std::min(line.size(), kSlotTextSize - 1);
    std::memcpy(text, line.data(), length);
    text[length] = '\0';
    lineNumber = number;
}

void resetFileStats(TransitionAnalysis& analysis) {
    analysis.fileStats = FileStats{};
}

void reportMissingLines(TransitionAnalysis& analysis, int summaryMode, bool fade) {
    FileStats& stats = analysis.fileStats;
    ++stats.blockErrorCount;
    analysis.groupLog.brokenGroup(analysis.transitionGroup, fade, analysis.options.timebase);
    if (summaryMode != 0) {
        if (stats.blockErrorReported == 0) {
            stats.blockErrorReported = 1;
            analysis.report.print("*** Transition block Error ***\n");
        }
        return;
    }
    for (int kind = 0; kind < kLineKindCount; ++kind) {
        if (analysis.transitionGroup.lineMask & (1u << kind))
            analysis.report.print("Line %s not detected\n", lineKindNames[kind]);
    }
}

} // namespace qv
