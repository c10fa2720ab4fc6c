// The run's figures for a monitoring system (/metrics): a file in the text
// format that Prometheus exporters pick up from a folder, replaced whole each
// time so that a scrape never sees half of it. The names are fixed: alert
// rules and dashboards rely on them.
#pragma once

#include "platform/replacing_file.h"
#include "sinks/delay_limits.h"
#include "timebase/timebase.h"
#include "transitions/group_log.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

namespace qv {

class MetricsFile final : public TransitionObserver {
  public:
    /// `process`: the search name, the label of every series. `transitions`:
    /// the ROUTER TAKES mode, whose delays and groups are written; the other
    /// modes write the line count only. `fixedClock`: seconds since 1970 to
    /// write instead of the wall clock, or negative for the wall clock.
    /// `foundSeries`: in the other modes, the counter of what they count
    /// ("quorvex_matches_total", ...), or nullptr.
    MetricsFile(std::string_view process, bool transitions, const DelayLimits& limits,
                const Timebase& timebase, double fixedClock = -1,
                const char* foundSeries = nullptr);

    /// A new log begins: its lines count on from the run's so far.
    void startFile();
    /// Reads of the current log so far; more than before is growth.
    void fileLines(std::int64_t lines);
    /// The other modes: what they count (see `foundSeries`) over the run so far.
    void found(std::int64_t count) { found_ = count; }
    /// Replaces the file now (with `again`, a fresh temporary file is made
    /// for the next time); false, with the reason, when it cannot be.
    bool write(ReplacingFile& file, bool again, std::string& whyNot);
    /// While a log is followed: writes when something changed and a second
    /// has passed, or when 15 s have, so that the file's age shows the run
    /// is alive. False as for write.
    bool poll(ReplacingFile& file, std::string& whyNot);

    /// The text of the file as it would be written now.
    std::string text() const;

    void beginFile(std::string_view) override {}
    void group(const TransitionRecord& record) override;
    void brokenGroup(const BrokenGroup&) override;
    void endFile(const FileSummaryFigures&) override {}

  private:
    static constexpr int kLowestFrame = -15; // buckets from half a second below zero
    static constexpr int kHighestFrame = 90; // to three seconds
    static constexpr int kBuckets = kHighestFrame - kLowestFrame + 2; // and +Inf

    double now() const;
    void appendHistogram(std::string& out) const;
    void appendDelayCounters(std::string& out) const;

    std::string label_; // process="..." escaped
    bool transitions_;
    DelayLimits limits_;
    Timebase timebase_;
    double fixedClock_;
    std::int64_t kinds_[2] = {}; // fade, mix
    std::int64_t blockErrors_ = 0;
    std::int64_t linesBefore_ = 0; // of the logs before the current one
    std::int64_t fileLines_ = 0;
    const char* foundSeries_;
    std::int64_t found_ = 0;
    std::int64_t buckets_[kDelayCount][kBuckets] = {}; // not cumulative
    std::int64_t delayFields_[kDelayCount] = {};
    std::int64_t sound_[kDelayCount] = {};
    std::int64_t unsound_[kDelayCount] = {};
    std::int64_t breaches_[kDelayCount] = {};
    double lastTransition_;
    double lastGrowth_ = 0;
    bool changed_ = true;
    std::chrono::steady_clock::time_point lastWrite_{};
};

} // namespace qv
