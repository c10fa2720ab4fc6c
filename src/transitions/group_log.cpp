#include "transitions/group_log.h"

#include "transitions/analysis_state.h"
#include "transitions/group_timing.h"

#include <vector>

namespace qv {

namespace {

std::vector<TransitionObserver*>& observers() {
    static std::vector<TransitionObserver*> list;
    return list;
}

FileSummaryFigures::Delay summaryDelay(const DeltaStat& stat, std::int64_t transitions) {
    return {stat.min, stat.max, transitions > 0 ? deltaAverage(stat, transitions) : 0};
}

} // namespace

void addTransitionObserver(TransitionObserver& observer) {
    observers().push_back(&observer);
}

void clearTransitionObservers() {
    observers().clear();
}

void beginTransitionFile(std::string_view name) {
    for (TransitionObserver* observer : observers())
        observer->beginFile(name);
}

void endTransitionFile() {
    if (observers().empty())
        return;
    const FileStats& s = fileStats;
    FileSummaryFigures figures;
    figures.lines = s.lineCount;
    figures.transitions = s.transitionCount;
    figures.startlines = s.startlineCount;
    figures.blockErrors = s.blockErrorCount;
    figures.delays[0] = summaryDelay(s.Rev2Router, s.transitionCount);
    figures.delays[1] = summaryDelay(s.RtrCmd2Status, s.transitionCount);
    figures.delays[2] = summaryDelay(s.RtrCmd2MX, s.transitionCount);
    for (TransitionObserver* observer : observers())
        observer->endFile(figures);
}

void logTimedGroup(bool fade, std::int64_t groupNumber, const std::int64_t (&delays)[kDelayCount],
                   bool reported, int sniffSeen) {
    if (observers().empty())
        return;
    const GroupSlot* slots = transitionGroup.slots;
    // A mix opens with its XFER line; the START slot then holds an older fade.
    const GroupSlot& opening = slots[fade ? START : XFER];
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
    const DelaySoundness sound = delaySoundness(fade ? GroupType::Fade : GroupType::Mix);
    record.delaySound[0] = sound.rev2Router;
    record.delaySound[1] = sound.rtrCmd2Status;
    record.delaySound[2] = sound.rtrCmd2MX;
    record.sniffSeen = sniffSeen != 0;
    record.reported = reported;
    for (TransitionObserver* observer : observers())
        observer->group(record);
}

} // namespace qv
