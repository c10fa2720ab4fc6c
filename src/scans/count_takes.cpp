#include "scans/line_scans.h"
#include "search/block_search.h"

namespace qv {

void countTakes(LineReader& logFile, Report& report, const LineScanOptions& options,
                std::int64_t& lineCount) {
    constexpr std::string_view kTake = " src ";
    const NeedleSet takeText{kTake};
    ReadFilter reads(logFile, lineCount);
    const std::int64_t takeCount = reads.countRest(takeText);
    if (options.found)
        *options.found += takeCount;
    // The averages are those of a log spanning exactly one hour.
    report.print("total takes was %8lld\n", static_cast<long long>(takeCount));
    report.print("Average takes/min was %4lld \n", static_cast<long long>(takeCount / 60));
    report.print("Average takes/sec was %4lld \n", static_cast<long long>(takeCount / 3600));
}

} // namespace qv
