#include "report/report.h"
#include "frontend/settings.h"
#include "transitions/analysis_state.h"
#include "transitions/transitions.h"

namespace qv {

namespace {

long long average(const DeltaStat& stat) {
    return static_cast<long long>(deltaAverage(stat, fileStats.transitionCount));
}

void addStatRow(ReportBlock& block, const char* fmt, const DeltaStat& stat) {
    block.add(fmt, static_cast<long long>(stat.min), static_cast<long long>(stat.max),
              average(stat));
}

} // namespace

void printRunSummary() {
    const FileStats& s = fileStats;
    const bool excel = settings.excelMode;
    reportPrintf(outputFile,
                 excel ? "    Analyzed_lines,%8lld,transitions,%8lld\n"
                       : "    Analyzed %8lld lines %8lld transitions\n",
                 static_cast<long long>(s.lineCount), static_cast<long long>(s.transitionCount));
    if (s.transitionCount == 0)
        return;
    ReportBlock block;
    if (excel) {
        addStatRow(block, "Rev2Router,   %3lld,%3lld,%2lld\n", s.Rev2Router);
        addStatRow(block, "RtrCmd2Status,%3lld,%3lld,%2lld\n", s.RtrCmd2Status);
        addStatRow(block, "RtrCmd2MX,    %3lld,%3lld,%2lld\n", s.RtrCmd2MX);
        block.add("startlineCount,%8lld\n", static_cast<long long>(s.startlineCount));
    } else {
        addStatRow(block, "\tRev2Router    delta[min/max/avg] [%3lld %3lld %2lld]\n", s.Rev2Router);
        addStatRow(block, "\tRtrCmd2Status delta[min/max/avg] [%3lld %3lld %2lld]\n",
                   s.RtrCmd2Status);
        addStatRow(block, "\tRtrCmd2MX     delta[min/max/avg] [%3lld %3lld %2lld]\n", s.RtrCmd2MX);
        block.add("\tstartlineCount      %8lld\n", static_cast<long long>(s.startlineCount));
        block.add("\tTRANS Block errors  %8lld\n", static_cast<long long>(s.blockErrorCount));
    }
    block.emit(outputFile);
}

} // namespace qv
