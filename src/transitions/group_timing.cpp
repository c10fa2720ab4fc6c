#include "transitions/group_timing.h"

#include "search/line_match.h"
#include "timebase/timebase.h"

#include <utility>

namespace qv {

std::int32_t readTimecode(const GroupSlot& slot) {
    const std::string_view line = slot.view();
    if (line.size() <= kTimecodeColumn)
        return 0;
    return parseLong32(line.substr(kTimecodeColumn, kTimecodeWidth), 16);
}

bool timecodeMisread(const GroupSlot& slot, const Timebase& timebase) {
    const std::string_view line = slot.view();
    if (line.size() < kTimecodeColumn + kTimecodeWidth)
        return true;
    return timebase.misread(line.substr(kTimecodeColumn, kTimecodeWidth));
}

std::int32_t timecodeToFields(std::int32_t rawTimecode, const Timebase& timebase) {
    return timebase.fieldsOf(static_cast<std::uint32_t>(rawTimecode));
}

namespace {

struct SlotTime {
    std::int32_t fields;
    std::uint32_t raw; // printed back as the eight digits of the column
    long long line;
};

SlotTime slotTime(const TransitionGroup& group, LineKind slot, const Timebase& timebase) {
    const GroupSlot& stored = group.slots[slot];
    const std::int32_t raw = readTimecode(stored);
    return {timecodeToFields(raw, timebase), static_cast<std::uint32_t>(raw),
            static_cast<long long>(stored.lineNumber)};
}

// The slots the delays of `type` subtract: the REV line, XFER, the first
// router line and DEBUG_RTR.
LineKind revSlot(GroupType type) {
    return type == GroupType::Fade ? REV_BLK : REV_BUS;
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
    bool report = delays.fields[Rev2Router] < 0;
    for (int d = 0; d < kDelayCount; ++d)
        report |= foldDelta(stats.delays[d], delays.fields[d]);
    return report;
}

// A 30 frames/s run looks at each timecode it timed for a sign of 25 frames/s.
void watchRate(FileStats& stats, const TransitionGroup& group, GroupType type,
               const Timebase& timebase) {
    if (timebase.rate() != FrameRate::Fps30)
        return;
    for (LineKind slot : {revSlot(type), XFER, ROUTER_01, DEBUG_RTR})
        if (!timecodeMisread(group.slots[slot], timebase))
            stats.rateWatch.see(static_cast<std::uint32_t>(readTimecode(group.slots[slot])));
}

const char* sniffText(int sniffSeen) {
    return sniffSeen != 0 ? "YES" : "NO";
}

// "<lead>%8d tc %08x line %8lld<tail>", the time row of a slot.
void addTimeRow(ReportBlock& block, std::string_view lead, const SlotTime& t,
                std::string_view tail) {
    block.put(lead).putNumber(t.fields, 8).put(" tc ").putHex8(t.raw).put(" line ");
    block.putNumber(t.line, 8).put(tail);
}

// XFER, RTR1, RBLK (fade only), DONE and DBRTR rows.
void addSlotRows(ReportBlock& block, const TransitionGroup& group, GroupType type,
                 const Timebase& tb) {
    addTimeRow(block, "             XFER  Time is ", slotTime(group, XFER, tb), " \n");
    addTimeRow(block, "             RTR1  Time is ", slotTime(group, ROUTER_01, tb), " \n");
    if (type == GroupType::Fade)
        addTimeRow(block, "             RBLK  Time is ", slotTime(group, REV_BLK, tb), " \n");
    addTimeRow(block, "             DONE  Time is ", slotTime(group, DONE, tb), " \n");
    addTimeRow(block, "             DBRTR Time is ", slotTime(group, DEBUG_RTR, tb), " \n");
}

// The file's running statistics, this group included: "<lead>%8lld         \n".
void addStatisticsRows(ReportBlock& block, const FileStats& s) {
    const DeltaStat* d = s.delays;
    const auto row = [&block](std::string_view lead, std::int64_t value) {
        block.put(lead).putNumber(static_cast<long long>(value), 8).put("         \n");
    };
    row("             MIN DELTA     ", d[Rev2Router].min);
    row("             MAX DELTA     ", d[Rev2Router].max);
    row("             MIN DELTA RTR ", d[RtrCmd2Status].min);
    row("             MAX DELTA RTR ", d[RtrCmd2Status].max);
    row("             MIN DELTA MX  ", d[RtrCmd2MX].min);
    row("             MAX DELTA MX  ", d[RtrCmd2MX].max);
}

// "             SNIFF STATUS  %8.8s     \n" of YES or NO.
void addSniffRow(ReportBlock& block, int sniffSeen) {
    block.put(sniffSeen != 0 ? "             SNIFF STATUS       YES     \n"
                             : "             SNIFF STATUS        NO     \n");
}

void printFadeReport(TransitionAnalysis& analysis, std::int64_t groupNumber, int sniffSeen) {
    ReportBlock& block = analysis.block;
    block.clear();
    const Timebase& tb = analysis.options.timebase;
    const SlotTime start = slotTime(analysis.transitionGroup, START, tb);
    block.put("GRP ").putNumber(static_cast<long long>(groupNumber), 8);
    addTimeRow(block, " START Time is ", start, "\n");
    addSlotRows(block, analysis.transitionGroup, GroupType::Fade, tb);
    addStatisticsRows(block, analysis.fileStats);
    addSniffRow(block, sniffSeen);
    analysis.report.emit(block);
}

// A mix group never fills the START slot, so its opening row shows its own
// opening line (the XFER slot) rather than a stale fade.
void printMixReport(TransitionAnalysis& analysis, std::int64_t groupNumber, int sniffSeen) {
    ReportBlock& block = analysis.block;
    block.clear();
    const Timebase& tb = analysis.options.timebase;
    const SlotTime opening = slotTime(analysis.transitionGroup, XFER, tb);
    block.put("MIX GRP ").putNumber(static_cast<long long>(groupNumber), 4);
    addTimeRow(block, " START Time is ", opening, "\n");
    addSlotRows(block, analysis.transitionGroup, GroupType::Mix, tb);
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
    const Timebase& timebase = analysis.options.timebase;
    const GroupDelays d = computeGroupDelays(group, type, timebase);
    const bool report = updateStatistics(analysis.fileStats, d);
    watchRate(analysis.fileStats, group, type, timebase);
    analysis.groupLog.timedGroup(group, type == GroupType::Fade, groupNumber, d, report, sniffSeen,
                                 timebase);
    if (summaryMode != 0 || !report)
        return;
    if (type == GroupType::Fade)
        printFadeReport(analysis, groupNumber, sniffSeen);
    else
        printMixReport(analysis, groupNumber, sniffSeen);
}

} // namespace

GroupDelays computeGroupDelays(const TransitionGroup& group, GroupType type,
                               const Timebase& timebase) {
    struct Time {
        std::int64_t fields;
        bool sound;
    };
    const auto timeOf = [&](LineKind slot) {
        const GroupSlot& stored = group.slots[slot];
        return Time{timecodeToFields(readTimecode(stored), timebase),
                    !timecodeMisread(stored, timebase)};
    };
    const Time rev = timeOf(revSlot(type));
    const Time xfer = timeOf(XFER);
    const Time router = timeOf(ROUTER_01);
    const Time debug = timeOf(DEBUG_RTR);
    const std::pair<Time, Time> spans[kDelayCount] = {
        {router, rev}, {xfer, debug}, {xfer, router}}; // from, to; by Delay
    GroupDelays delays;
    for (int d = 0; d < kDelayCount; ++d) {
        const auto& [from, to] = spans[d];
        const std::int64_t raw = to.fields - from.fields;
        delays.sound[d] = from.sound && to.sound;
        // A misread timecode is no time of day: its difference stays as read.
        delays.fields[d] = delays.sound[d] ? timebase.aroundMidnight(raw) : raw;
    }
    return delays;
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
