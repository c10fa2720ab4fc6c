// Every group handed to group timing, reported or not, and every group broken
// off, for the side outputs that list them all (the transitions CSV, the delay
// chart, the hourly statistics) and the delay limits. Group timing, the scanner
// and the runner call the hooks; with no observer attached they cost one test.
#pragma once

#include "timebase/timebase.h"
#include "transitions/analysis_state.h"
#include "transitions/delays.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace qv {

/// One timed group.
struct TransitionRecord {
    std::int64_t groupNumber = 0;
    bool fade = false;               // FADE, else MIX
    std::int64_t startLine = 0;      // line number of the opening line
    std::uint32_t startTimecode = 0; // its raw timecode, digits as read
    std::int32_t startFields = 0;    // the same in fields since 00:00:00:00
    std::int64_t xferLine = 0;
    std::int64_t routerLine = 0;                       // first router line
    std::int64_t delays[kDelayCount] = {};             // in fields
    bool startSound = true;                            // the opening timecode is a time of day
    bool delaySound[kDelayCount] = {true, true, true}; // from two well-read timecodes
    bool sniffSeen = false;
    bool reported = false; // negative Rev2Router or a new extreme, whatever summaryMode
};

/// A group broken off before it completed: one block error of the summary.
struct BrokenGroup {
    bool fade = false;               // FADE, else MIX
    std::int64_t startLine = 0;      // line number of the opening line
    std::uint32_t startTimecode = 0; // its raw timecode, digits as read
    bool startSound = true;          // that timecode is a time of day
};

/// A file's figures as its run summary prints them.
struct FileSummaryFigures {
    struct Delay {
        std::int64_t min, max, avg;
    };
    std::int64_t lines = 0;
    std::int64_t transitions = 0;
    std::int64_t startlines = 0;
    std::int64_t blockErrors = 0;
    Delay delays[kDelayCount] = {}; // meaningful only when transitions > 0
};

class TransitionObserver {
  public:
    virtual ~TransitionObserver() = default;
    virtual void beginFile(std::string_view name) = 0;
    virtual void group(const TransitionRecord& record) = 0;
    /// A group broken off, when the run summary counts it as a block error.
    virtual void brokenGroup(const BrokenGroup&) {}
    virtual void endFile(const FileSummaryFigures& summary) = 0;
};

/// The observers of one run, in the order they were added.
class GroupLog {
  public:
    void add(TransitionObserver& observer) { observers_.push_back(&observer); }
    void clear() { observers_.clear(); }

    /// The runner, around each ROUTER TAKES file: `name` as its banner shows it.
    void beginFile(std::string_view name);
    /// The runner, after the run summary: hands on the file's figures.
    void endFile(const FileStats& stats);

    /// Group timing, once per group handed to it, with the delays it folded
    /// in and its report decision; the rest is read from the stored slots.
    void timedGroup(const TransitionGroup& group, bool fade, std::int64_t groupNumber,
                    const GroupDelays& delays, bool reported, int sniffSeen,
                    const Timebase& timebase);
    /// The block error count, once per group it counts: the group as it
    /// stands when broken off.
    void brokenGroup(const TransitionGroup& group, bool fade, const Timebase& timebase);

  private:
    std::vector<TransitionObserver*> observers_;
};

} // namespace qv
