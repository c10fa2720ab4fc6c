#include "transitions/group_log.h"

#include "transitions/group_timing.h"

#include <vector>

namespace qv {

namespace {

FileSummaryFigures::Delay summaryDelay(const DeltaStat& stat, std::int64_t transitions) {
    return {stat.min, stat.max, transitions > 0 ? deltaAverage(stat, transitions) : 0};
}

// A mix opens with its XFER line; the START slot then holds an older fade.
const GroupSlot& openingSlot(const TransitionGroup& group, bool fade) {
    return group.slots[fade ? START : XFER];
}

} // namespace

void GroupLog::beginFile(std::string_view name) {
    for (TransitionObserver* observer : observers_)
        observer->beginFile(name);
}

void GroupLog::endFile(const FileStats& s) {
    if (observers_.empty())
        return;
    FileSummaryFigures figures;
    figures.lines = s.lineCount;
    figures.transitions = s.transitionCount;
    figures.startlines = s.startlineCount;
    figures.blockErrors = s.blockErrorCount;
    for (int d = 0; d < kDelayCount; ++d)
        figures.delays[d] = summaryDelay(s.delays[d], s.transitionCount);
    for (TransitionObserver* observer : observers_)
        observer->endFile(figures);
}

void GroupLog::timedGroup(const TransitionGroup& group, bool fade, std::int64_t groupNumber,
                          const GroupDelays& delays, bool reported, int sniffSeen,
                          const Timebase& timebase) {
    if (observers_.empty())
        return;
    const GroupSlot* slots = group.slots;
    const GroupSlot& opening = openingSlot(group, fade);
    const std::int32_t raw = readTimecode(opening);
    TransitionRecord record;
    record.groupNumber = groupNumber;
    record.fade = fade;
    record.startLine = opening.lineNumber;
    record.startTimecode = static_cast<std::uint32_t>(raw);
    record.startFields = timecodeToFields(raw, timebase);
    record.xferLine = slots[XFER].lineNumber;
    record.routerLine = slots[ROUTER_01].lineNumber;
    for (int d = 0; d < kDelayCount; ++d) {
        record.delays[d] = delays.fields[d];
        record.delaySound[d] = delays.sound[d];
    }
    record.startSound = !timecodeMisread(opening, timebase);
    record.sniffSeen = sniffSeen != 0;
    record.reported = reported;
    for (TransitionObserver* observer : observers_)
        observer->group(record);
}

void GroupLog::brokenGroup(const TransitionGroup& group, bool fade, const Timebase& timebase) {
    if (observers_.empty())
        return;
    const GroupSlot& opening = openingSlot(group, fade);
    const BrokenGroup broken{fade, opening.lineNumber,
                             static_cast<std::uint32_t>(readTimecode(opening)),
                             !timecodeMisread(opening, timebase)};
    for (TransitionObserver* observer : observers_)
        observer->brokenGroup(broken);
}

} // namespace qv
