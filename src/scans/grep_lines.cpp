#include "report/report.h"
#include "frontend/settings.h"
#include "search/block_search.h"
#include "scans/line_scans.h"
#include "transitions/analysis_state.h"

#include <string>

namespace qv {

void grepLines(LineReader& logFile, TextFileWriter* out, const char* grepText, int summaryMode) {
    const std::string_view needle(grepText);
    const NeedleSet grepNeedle{needle}; // an empty text matches every read
    ReadFilter reads(logFile, fileStats.lineCount);
    if (summaryMode != 0) {
        const std::int64_t matchCount = reads.countRest(grepNeedle);
        consolePrintf("total lines %8lld\n", static_cast<long long>(matchCount));
        filePrintf(out, "total lines was %8lld\n", static_cast<long long>(matchCount));
        return;
    }
    std::string row;
    std::string_view line;
    while (reads.next(line, grepNeedle)) {
        // "%7d %s": no newline added, the read's own newline (if any) ends the row.
        row.assign(formatText("%7lld ", static_cast<long long>(fileStats.lineCount)));
        row.append(line);
        if (!settings.grepQuiet)
            consoleWrite(row);
        if (out)
            out->write(row);
    }
}

} // namespace qv
