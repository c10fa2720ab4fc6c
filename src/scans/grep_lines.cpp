#include "scans/line_scans.h"
#include "search/block_search.h"

#include <string>

namespace qv {

void grepLines(LineReader& logFile, Report& report, const LineScanOptions& options,
               std::int64_t& lineCount) {
    const NeedleSet grepNeedle{options.grepText}; // an empty text matches every read
    ReadFilter reads(logFile, lineCount);
    Console& console = report.console();
    if (options.summaryMode != 0) {
        const std::int64_t matchCount = reads.countRest(grepNeedle);
        if (options.found)
            *options.found += matchCount;
        console.printf("total lines %8lld\n", static_cast<long long>(matchCount));
        report.printToFile("total lines was %8lld\n", static_cast<long long>(matchCount));
        return;
    }
    std::string row;
    std::string_view line;
    while (reads.next(line, grepNeedle)) {
        if (options.found)
            ++*options.found;
        // "%7d %s": no newline added, the read's own newline (if any) ends the row.
        row.clear();
        appendPadded(row, lineCount, 7);
        row += ' ';
        row.append(line);
        if (!options.grepQuiet)
            console.write(row);
        if (report.file())
            report.file()->write(row);
    }
}

} // namespace qv
