// Delay limits (/limit): every sound delay above its limit is a breach, told
// on standard error as its group completes, so that a scheduled job can act
// on the exit status and read what went wrong.
#pragma once

#include "report/report.h"
#include "transitions/group_log.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace qv {

/// A limit in fields per delay; kNoLimit where none was given.
struct DelayLimits {
    static constexpr std::int64_t kNoLimit = -1;
    std::int64_t fields[kDelayCount] = {kNoLimit, kNoLimit, kNoLimit};

    bool any() const;
};

/// Reads "<delay>:<n>" (delay name in any case, n decimal 0-2147483647) into
/// `limits`, replacing that delay's limit; false, with `limits` unchanged,
/// when the text is anything else.
bool parseDelayLimit(std::string_view text, DelayLimits& limits);

class LimitCheck final : public TransitionObserver {
  public:
    LimitCheck(const DelayLimits& limits, Console& console) : limits_(limits), console_(console) {}

    /// Any breach so far, in any file of the run.
    bool breached() const { return breaches_ > 0; }

    void beginFile(std::string_view name) override { fileName_.assign(name); }
    void group(const TransitionRecord& record) override;
    void endFile(const FileSummaryFigures&) override {}

  private:
    DelayLimits limits_;
    Console& console_;
    std::string fileName_;
    std::string timecode_;
    std::int64_t breaches_ = 0;
};

} // namespace qv
