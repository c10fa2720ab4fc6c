#include "transitions/transitions.h"

namespace qv {

namespace {

void addStatRow(ReportBlock& block, const char* fmt, const DeltaStat& stat,
                std::int64_t transitions) {
    block.add(fmt, static_cast<long long>(stat.min), static_cast<long long>(stat.max),
              static_cast<long long>(deltaAverage(stat, transitions)));
}

} // namespace

void printRunSummary(TransitionAnalysis& analysis) {
    const FileStats& s = analysis.fileStats;
    const bool excel = analysis.options.excelMode;
    const std::int64_t n = s.transitionCount;
    analysis.report.print(excel ? "    Analyzed_lines,%8lld,transitions,%8lld\n"
                                : "    Analyzed %8lld lines %8lld transitions\n",
                          static_cast<long long>(s.lineCount),
                          static_cast<long long>(s.transitionCount));
    if (s.transitionCount == 0)
        return;
    ReportBlock block;
    if (excel) {
        addStatRow(block, "Rev2Router,   %3lld,%3lld,%2lld\n", s.delays[Rev2Router], n);
        addStatRow(block, "RtrCmd2Status,%3lld,%3lld,%2lld\n", s.delays[RtrCmd2Status], n);
        addStatRow(block, "RtrCmd2MX,    %3lld,%3lld,%2lld\n", s.delays[RtrCmd2MX], n);
        block.add("startlineCount,%8lld\n", static_cast<long long>(s.startlineCount));
    } else {
        addStatRow(block, "\tRev2Router    delta[min/max/avg] [%3lld %3lld %2lld]\n",
                   s.delays[Rev2Router], n);
        addStatRow(block, "\tRtrCmd2Status delta[min/max/avg] [%3lld %3lld %2lld]\n",
                   s.delays[RtrCmd2Status], n);
        addStatRow(block, "\tRtrCmd2MX     delta[min/max/avg] [%3lld %3lld %2lld]\n",
                   s.delays[RtrCmd2MX], n);
        block.add("\tstartlineCount      %8lld\n", static_cast<long long>(s.startlineCount));
        block.add("\tTRANS Block errors  %8lld\n", static_cast<long long>(s.blockErrorCount));
    }
    analysis.report.emit(block);
}

} // namespace qv
