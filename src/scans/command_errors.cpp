#include "scans/line_scans.h"
#include "search/block_search.h"
#include "search/line_match.h"

namespace qv {

namespace {

// A command-error line without "delta" counts with a delta of 0.
std::int32_t readDelta(std::string_view line) {
    constexpr std::string_view kWord = "delta";
    const std::size_t at = line.find(kWord);
    if (at == std::string_view::npos)
        return 0;
    return parseLong32(line.substr(at + kWord.size()), 10);
}

} // namespace

void scanCommandErrors(LineReader& logFile, Report& report, const LineScanOptions& options,
                       std::int64_t& lineCount) {
    std::int64_t errorCount = 0;
    std::int64_t deltaSum = 0;
    float deltaSumReal = 0.0f; // single precision on purpose: its drift is part of the report
    constexpr std::string_view kMarker = "CMD-ERROR on TC";
    const NeedleSet marker{kMarker};
    ReadFilter reads(logFile, lineCount);
    ReportBlock row; // reused: a line per error
    std::string_view line;
    while (reads.next(line, marker)) {
        ++errorCount;
        if (options.found)
            ++*options.found;
        const std::int32_t delta = readDelta(line);
        deltaSum += delta;
        deltaSumReal = deltaSumReal + static_cast<float>(delta);
        if (options.summaryMode == 0) {
            row.clear();
            row.put("Delta was ").putNumber(options.timebase.framesOf(delta), 8).put(" frames\n");
            report.emit(row);
        }
    }
    report.print("total command errors is %8lld\n", static_cast<long long>(errorCount));
    if (errorCount == 0)
        return;
    const std::int64_t average = options.timebase.framesOf(deltaSum / errorCount);
    report.print("Average Delta was %4lld frames\n", static_cast<long long>(average));
    const double realAverage =
        static_cast<double>(deltaSumReal) / static_cast<double>(errorCount) / 2.0;
    report.print("Average Delta was %4f frames\n", realAverage);
}

} // namespace qv
