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
    figures.delays[0] = summaryDelay(s.Rev2Router, s.transitionCount);
    figures.delays[1] = summaryDelay(s.RtrCmd2Status, s.transitionCount);
    figures.delays[2] = summaryDelay(s.RtrCmd2MX, s.transitionCount);
    for (TransitionObserver* observer : observers_)
        observer->endFile(figures);
}

void GroupLog::timedGroup(const TransitionGroup& group, bool fade, std::int64_t groupNumber,
                          const std::int64_t (&delays)[kDelayCount], bool reported, int sniffSeen) {
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
    record.startFields = timecodeToFields(raw);
    record.xferLine = slots[XFER].lineNumber;
    record.routerLine = slots[ROUTER_01].lineNumber;
    for (int d = 0; d < kDelayCount; ++d)
        record.delays[d] = delays[d];
    record.startSound = !timecodeMisread(opening);
    const DelaySoundness sound = delaySoundness(group, fade ? GroupType::Fade : GroupType::Mix);
    record.delaySound[0] = sound.rev2Router;
    record.delaySound[1] = sound.rtrCmd2Status;
    record.delaySound[2] = sound.rtrCmd2MX;
    record.sniffSeen = sniffSeen != 0;
    record.reported = reported;
    for (TransitionObserver* observer : observers_)
        observer->group(record);
}

void GroupLog::brokenGroup(const TransitionGroup& group, bool fade) {
    if (observers_.empty())
        return;
    const GroupSlot& opening = openingSlot(group, fade);
    const BrokenGroup broken{fade, opening.lineNumber,
                             static_cast<std::uint32_t>(readTimecode(opening))};
    for (TransitionObserver* observer : observers_)
        observer->brokenGroup(broken);
}

} // namespace qv
