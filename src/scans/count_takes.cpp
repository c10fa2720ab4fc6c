#include "report/report.h"
#include "search/block_search.h"
#include "scans/line_scans.h"
#include "transitions/analysis_state.h"

namespace qv {

void countTakes(LineReader& logFile, TextFileWriter* out, int /*summaryMode*/) {
    constexpr std::string_view kTake = " src ";
    const NeedleSet takeText{kTake};
    ReadFilter reads(logFile, fileStats.lineCount);
    const std::int64_t takeCount = reads.countRest(takeText);
    // The averages are those of a log spanning exactly one hour.
    reportPrintf(out, "total takes was %8lld\n", static_cast<long long>(takeCount));
    reportPrintf(out, "Average takes/min was %4lld \n", static_cast<long long>(takeCount / 60));
    reportPrintf(out, "Average takes/sec was %4lld \n", static_cast<long long>(takeCount / 3600));
}

} // namespace qv
