// Delay limits (/limit): every sound delay above its limit is a breach, told
// on standard error as its group completes, so that a scheduled job can act
// on the exit status and read what went wrong. At the end of each file and of
// the run a total per limit groups the breaches into incidents, so that a slow
// period reads as one line rather than a hundred.
#pragma once

#include "report/report.h"
#include "timebase/timebase.h"
#include "transitions/group_log.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qv {

/// A limit as given: in fields (a bare number), frames ("fr"), milliseconds
/// ("ms") or seconds ("s"), as the exact fraction `number / scale`.
enum class LimitUnit { Fields, Frames, Milliseconds, Seconds };

struct GivenLimit {
    std::int64_t number = 0;
    std::int64_t scale = 1; // 10 to the number of decimals
    LimitUnit unit = LimitUnit::Fields;
    std::string text; // as given, after the colon
};

/// A limit per delay; kNoLimit where none was given. `fields` is the
/// largest delay in fields that is no breach at the run's rate (see
/// resolve); a delay breaches when it is above it.
struct DelayLimits {
    static constexpr std::int64_t kNoLimit = -1;
    std::int64_t fields[kDelayCount] = {kNoLimit, kNoLimit, kNoLimit};
    GivenLimit given[kDelayCount];

    bool any() const;
    /// Turns each limit into fields at `timebase`'s rate, exactly: a delay
    /// of whole fields is above a limit of t seconds when it is above the
    /// whole fields in t, rounded down.
    void resolve(const Timebase& timebase);
};

/// Reads "<delay>:<limit>" (delay name in any case; limit decimal fields
/// 0-2147483647, or a decimal number with "fr", "ms" or "s" no longer than
/// that many fields at any rate) into `limits`, replacing that delay's
/// limit (in fields at 30 frames/s until resolve); false, with `limits`
/// unchanged, when the text is anything else.
bool parseDelayLimit(std::string_view text, DelayLimits& limits);

/// A delay in the unit of `limit`, as the breach line prints it: "21",
/// "10.5fr", "350.0ms", "0.350s".
std::string delayInUnit(std::int64_t fields, const GivenLimit& limit, const Timebase& timebase);

/// Breaches of one limit less than five minutes apart in log time.
struct LimitIncident {
    std::int32_t fromFields = 0, toFields = 0;      // fields since midnight
    std::uint32_t fromTimecode = 0, toTimecode = 0; // as read
    std::int64_t breaches = 0;
};

/// The breaches of one limit over a file or a run: every breach counted, the
/// first incidents kept to be named.
struct LimitTally {
    static constexpr std::size_t kNamed = 10;
    std::int64_t breaches = 0;
    std::int64_t incidents = 0;
    std::vector<LimitIncident> named; // the first kNamed incidents

    void addIncident(const LimitIncident& incident);
};

class LimitCheck final : public TransitionObserver {
  public:
    /// `follow`: a line for every incident as it ends, for a watch that runs
    /// for days before its totals.
    LimitCheck(const DelayLimits& limits, const Timebase& timebase, Console& console,
               bool follow = false);

    /// Any breach so far, in any file of the run.
    bool breached() const { return breaches_ > 0; }

    void beginFile(std::string_view name) override;
    void group(const TransitionRecord& record) override;
    /// Ends the open incidents and prints the file's totals.
    void endFile(const FileSummaryFigures&) override;
    /// Prints the run's totals, one line per limit.
    void endRun();

  private:
    void breach(int delay, const TransitionRecord& record);
    void endIncident(int delay);
    void printTotals(int delay, const LimitTally& tally, const char* where);

    DelayLimits limits_;
    Timebase timebase_;
    Console& console_;
    bool follow_;
    std::int64_t incidentGap_; // fields: five minutes at the run's rate
    std::string fileName_;
    std::string timecode_;
    std::string line_;
    LimitTally file_[kDelayCount];
    LimitTally run_[kDelayCount];
    LimitIncident open_[kDelayCount];
    bool isOpen_[kDelayCount] = {};
    std::int64_t breaches_ = 0;
};

} // namespace qv
