#include "transitions/group_timing.h"

#include "search/line_match.h"
#include "timebase/timebase.h"

namespace qv {

std::int32_t readTimecode(const GroupSlot& slot) {
    const std::string_view line = slot.view();
    if (line.size() <= kTimecodeColumn)
        return 0;
    return parseLong32(line.substr(kTimecodeColumn, kTimecodeWidth), 16);
}

bool timecodeMisread(const GroupSlot& slot) {
    const std::string_view line = slot.view();
    if (line.size() < kTimecodeColumn + kTimecodeWidth)
        return true;
    return Timebase().misread(line.substr(kTimecodeColumn, kTimecodeWidth));
}

std::int32_t timecodeToFields(std::int32_t rawTimecode) {
    return Timebase().fieldsOf(static_cast<std::uint32_t>(rawTimecode));
}

namespace {

struct SlotTime {
    std::int32_t fields;
    std::uint32_t raw; // printed back as the eight digits of the column
    long long line;
};

SlotTime slotTime(const TransitionGroup& group, LineKind slot) {
    const GroupSlot& stored = group.slots[slot];
    const std::int32_t raw = readTimecode(stored);
    return {timecodeToFields(raw), static_cast<std::uint32_t>(raw),
            static_cast<long long>(stored.lineNumber)};
}

std::int64_t fieldsOf(const TransitionGroup& group, LineKind slot) {
    return slotTime(group, slot).fields;
}

// True when the delta set a new minimum or maximum; equal values do not.
bool foldDelta(DeltaStat& stat, std::int64_t delta) {
    bool extreme = false;
    if (delta < stat.min) {
        stat.min = delta;
        extreme = true;
    }
    if (delta > stat.max) {
        stat.max = delta;
        extreme = true;
    }
    stat.sum += delta;
    return extreme;
}

// Every statistic is folded in; the result says whether to report the group.
bool updateStatistics(FileStats& stats, const GroupDelays& delays) {
    bool report = delays.rev2Router < 0;
    report |= foldDelta(stats.Rev2Router, delays.rev2Router);
    report |= foldDelta(stats.RtrCmd2Status, delays.rtrCmd2Status);
    report |= foldDelta(stats.RtrCmd2MX, delays.rtrCmd2MX);
    return report;
}

const char* sniffText(int sniffSeen) {
    return sniffSeen != 0 ? "YES" : "NO";
}

// XFER, RTR1, RBLK (fade only), DONE and DBRTR rows.
void addSlotRows(ReportBlock& block, const TransitionGroup& group, GroupType type) {
    SlotTime t = slotTime(group, XFER);
    block.add("             XFER  Time is %8d tc %08x line %8lld \n", t.fields, t.raw, t.line);
    t = slotTime(group, ROUTER_01);
    block.add("             RTR1  Time is %8d tc %08x line %8lld \n", t.fields, t.raw, t.line);
    if (type == GroupType::Fade) {
        t = slotTime(group, REV_BLK);
        block.add("             RBLK  Time is %8d tc %08x line %8lld \n", t.fields, t.raw, t.line);
    }
    t = slotTime(group, DONE);
    block.add("             DONE  Time is %8d tc %08x line %8lld \n", t.fields, t.raw, t.line);
    t = slotTime(group, DEBUG_RTR);
    block.add("             DBRTR Time is %8d tc %08x line %8lld \n", t.fields, t.raw, t.line);
}

// The file's running statistics, this group included.
void addStatisticsRows(ReportBlock& block, const FileStats& s) {
    block.add("             MIN DELTA     %8lld         \n",
              static_cast<long long>(s.Rev2Router.min));
    block.add("             MAX DELTA     %8lld         \n",
              static_cast<long long>(s.Rev2Router.max));
    block.add("             MIN DELTA RTR %8lld         \n",
              static_cast<long long>(s.RtrCmd2Status.min));
    block.add("             MAX DELTA RTR %8lld         \n",
              static_cast<long long>(s.RtrCmd2Status.max));
    block.add("             MIN DELTA MX  %8lld         \n",
              static_cast<long long>(s.RtrCmd2MX.min));
    block.add("             MAX DELTA MX  %8lld         \n",
              static_cast<long long>(s.RtrCmd2MX.max));
}

void addSniffRow(ReportBlock& block, int sniffSeen) {
    block.add("             SNIFF STATUS  %8.8s     \n", sniffText(sniffSeen));
}

void printFadeReport(TransitionAnalysis& analysis, std::int64_t groupNumber, int sniffSeen) {
    ReportBlock& block = analysis.block;
    block.clear();
    const SlotTime start = slotTime(analysis.transitionGroup, START);
    block.add("GRP %8lld START Time is %8d tc %08x line %8lld\n",
              static_cast<long long>(groupNumber), start.fields, start.raw, start.line);
    addSlotRows(block, analysis.transitionGroup, GroupType::Fade);
    addStatisticsRows(block, analysis.fileStats);
    addSniffRow(block, sniffSeen);
    analysis.report.emit(block);
}

// A mix group never fills the START slot, so its opening row shows its own
// opening line (the XFER slot) rather than a stale fade.
void printMixReport(TransitionAnalysis& analysis, std::int64_t groupNumber, int sniffSeen) {
    ReportBlock& block = analysis.block;
    block.clear();
    const SlotTime opening = slotTime(analysis.transitionGroup, XFER);
    block.add("MIX GRP %4lld START Time is %8d tc %08x line %8lld\n",
              static_cast<long long>(groupNumber), opening.fields, opening.raw, opening.line);
    addSlotRows(block, analysis.transitionGroup, GroupType::Mix);
    addStatisticsRows(block, analysis.fileStats);
    ReportBlock& sniffRow = analysis.sniffRow;
    sniffRow.clear();
    addSniffRow(sniffRow, sniffSeen);
    Console& console = analysis.report.console();
    console.write(block.text());
    console.write(sniffRow.text());
    TextFileWriter* file = analysis.report.file();
    if (!file)
        return;
    file->write(block.text());
    analysis.report.printToFile("             SNIFF STATUS  %s          \n", sniffText(sniffSeen));
    file->write(sniffRow.text());
}

void analyzeGroup(TransitionAnalysis& analysis, GroupType type, std::int64_t groupNumber,
                  int summaryMode, int sniffSeen) {
    const TransitionGroup& group = analysis.transitionGroup;
    const GroupDelays d = computeGroupDelays(group, type);
    const bool report = updateStatistics(analysis.fileStats, d);
    analysis.groupLog.timedGroup(group, type == GroupType::Fade, groupNumber,
                                 {d.rev2Router, d.rtrCmd2Status, d.rtrCmd2MX}, report, sniffSeen);
    if (summaryMode != 0 || !report)
        return;
    if (type == GroupType::Fade)
        printFadeReport(analysis, groupNumber, sniffSeen);
    else
        printMixReport(analysis, groupNumber, sniffSeen);
}

} // namespace

GroupDelays computeGroupDelays(const TransitionGroup& group, GroupType type) {
    const std::int64_t revLine = fieldsOf(group, type == GroupType::Fade ? REV_BLK : REV_BUS);
    const std::int64_t xfer = fieldsOf(group, XFER);
    const std::int64_t router = fieldsOf(group, ROUTER_01);
    return {revLine - router, fieldsOf(group, DEBUG_RTR) - xfer, router - xfer};
}

DelaySoundness delaySoundness(const TransitionGroup& group, GroupType type) {
    const auto sound = [&group](LineKind slot) { return !timecodeMisread(group.slots[slot]); };
    const bool revLine = sound(type == GroupType::Fade ? REV_BLK : REV_BUS);
    const bool xfer = sound(XFER);
    const bool router = sound(ROUTER_01);
    return {revLine && router, sound(DEBUG_RTR) && xfer, router && xfer};
}

void analyzeFadeGroup(TransitionAnalysis& analysis, std::int64_t groupNumber, int summaryMode,
                      int sniffSeen) {
    analyzeGroup(analysis, GroupType::Fade, groupNumber, summaryMode, sniffSeen);
}

void analyzeMixGroup(TransitionAnalysis& analysis, std::int64_t groupNumber, int summaryMode,
                     int sniffSeen) {
    analyzeGroup(analysis, GroupType::Mix, groupNumber, summaryMode, sniffSeen);
}

} // namespace qv
