#include "sinks/metrics_file.h"

#include "report/report.h"

#include <algorithm>

namespace qv {

namespace {

constexpr auto kAtMostEvery = std::chrono::seconds(1);
constexpr auto kAtLeastEvery = std::chrono::seconds(15);

// Label values escape backslash, double quote and line feed.
std::string processLabel(std::string_view process) {
    std::string label = "process=\"";
    for (char c : process) {
        if (c == '\\' || c == '"')
            label += '\\';
        if (c == '\n') {
            label += "\\n";
            continue;
        }
        label += c;
    }
    label += '"';
    return label;
}

void appendHeader(std::string& out, const char* name, const char* type, const char* help) {
    appendPrintf(out, "# HELP %s %s\n# TYPE %s %s\n", name, help, name, type);
}

// Nine significant digits: a frame at 29.97 (0.0333667 s) stays apart from
// its neighbours, and whole seconds print without a fraction.
void appendValue(std::string& out, double value) {
    appendPrintf(out, "%.9g", value == 0 ? 0.0 : value);
}

} // namespace

MetricsFile::MetricsFile(std::string_view process, bool transitions, const DelayLimits& limits,
                         const Timebase& timebase, double fixedClock, const char* foundSeries)
    : label_(processLabel(process)), transitions_(transitions), limits_(limits),
      timebase_(timebase), fixedClock_(fixedClock), foundSeries_(foundSeries) {
    // A watch just started has not missed a transition yet.
    lastTransition_ = now();
}

double MetricsFile::now() const {
    if (fixedClock_ >= 0)
        return fixedClock_;
    using namespace std::chrono;
    return duration<double>(system_clock::now().time_since_epoch()).count();
}

void MetricsFile::startFile() {
    linesBefore_ += fileLines_;
    fileLines_ = 0;
}

void MetricsFile::fileLines(std::int64_t lines) {
    if (lines == fileLines_)
        return;
    fileLines_ = lines;
    lastGrowth_ = now();
    changed_ = true;
}

void MetricsFile::group(const TransitionRecord& record) {
    ++kinds_[record.fade ? 0 : 1];
    lastTransition_ = now();
    changed_ = true;
    for (int d = 0; d < kDelayCount; ++d) {
        if (!record.delaySound[d]) {
            ++unsound_[d];
            continue;
        }
        const std::int64_t fields = record.delays[d];
        ++sound_[d];
        delayFields_[d] += fields;
        // The first bucket whose bound (a whole number of frames) is not below the delay.
        const std::int64_t frames = fields >= 0 ? (fields + 1) / 2 : -((-fields) / 2);
        const std::int64_t index =
            frames > kHighestFrame ? kBuckets - 1
                                   : std::max<std::int64_t>(frames, kLowestFrame) - kLowestFrame;
        ++buckets_[d][index];
        if (limits_.fields[d] != DelayLimits::kNoLimit && fields > limits_.fields[d])
            ++breaches_[d];
    }
}

void MetricsFile::brokenGroup(const BrokenGroup&) {
    ++blockErrors_;
    changed_ = true;
}

void MetricsFile::appendHistogram(std::string& out) const {
    appendHeader(out, "quorvex_delay_seconds", "histogram",
                 "Sound delays of the timed transitions, in seconds.");
    for (int d = 0; d < kDelayCount; ++d) {
        std::int64_t cumulative = 0;
        for (int b = 0; b < kBuckets; ++b) {
            cumulative += buckets_[d][b];
            appendPrintf(out, "quorvex_delay_seconds_bucket{%s,delay=\"%s\",le=\"", label_.c_str(),
                         delayKey(d));
            if (b == kBuckets - 1)
                out += "+Inf";
            else
                appendValue(out, timebase_.secondsOf(2 * std::int64_t{b + kLowestFrame}));
            appendPrintf(out, "\"} %lld\n", static_cast<long long>(cumulative));
        }
        appendPrintf(out, "quorvex_delay_seconds_sum{%s,delay=\"%s\"} ", label_.c_str(),
                     delayKey(d));
        appendValue(out, timebase_.secondsOf(delayFields_[d]));
        appendPrintf(out, "\nquorvex_delay_seconds_count{%s,delay=\"%s\"} %lld\n", label_.c_str(),
                     delayKey(d), static_cast<long long>(sound_[d]));
    }
}

void MetricsFile::appendDelayCounters(std::string& out) const {
    appendHeader(out, "quorvex_unsound_delays_total", "counter",
                 "Delays not timed because a timecode was misread.");
    for (int d = 0; d < kDelayCount; ++d)
        appendPrintf(out, "quorvex_unsound_delays_total{%s,delay=\"%s\"} %lld\n", label_.c_str(),
                     delayKey(d), static_cast<long long>(unsound_[d]));
    if (!limits_.any())
        return;
    appendHeader(out, "quorvex_limit_breaches_total", "counter",
                 "Sound delays above their /limit.");
    for (int d = 0; d < kDelayCount; ++d)
        if (limits_.fields[d] != DelayLimits::kNoLimit)
            appendPrintf(out, "quorvex_limit_breaches_total{%s,delay=\"%s\"} %lld\n",
                         label_.c_str(), delayKey(d), static_cast<long long>(breaches_[d]));
    appendHeader(out, "quorvex_delay_limit_seconds", "gauge", "The /limit of each delay.");
    for (int d = 0; d < kDelayCount; ++d) {
        if (limits_.fields[d] == DelayLimits::kNoLimit)
            continue;
        appendPrintf(out, "quorvex_delay_limit_seconds{%s,delay=\"%s\"} ", label_.c_str(),
                     delayKey(d));
        appendValue(out, timebase_.secondsOf(limits_.fields[d]));
        out += '\n';
    }
}

std::string MetricsFile::text() const {
    std::string out;
    const char* label = label_.c_str();
    appendHeader(out, "quorvex_lines_total", "counter", "Log lines read.");
    appendPrintf(out, "quorvex_lines_total{%s} %lld\n", label,
                 static_cast<long long>(linesBefore_ + fileLines_));
    appendHeader(out, "quorvex_last_growth_timestamp_seconds", "gauge",
                 "Wall clock when the log last grew.");
    appendPrintf(out, "quorvex_last_growth_timestamp_seconds{%s} %.3f\n", label, lastGrowth_);
    if (foundSeries_) {
        appendHeader(out, foundSeries_, "counter", "What the mode counts, over every log.");
        appendPrintf(out, "%s{%s} %lld\n", foundSeries_, label, static_cast<long long>(found_));
    }
    if (!transitions_)
        return out;
    appendHeader(out, "quorvex_transitions_total", "counter", "Transitions timed, by kind.");
    appendPrintf(out, "quorvex_transitions_total{%s,kind=\"fade\"} %lld\n", label,
                 static_cast<long long>(kinds_[0]));
    appendPrintf(out, "quorvex_transitions_total{%s,kind=\"mix\"} %lld\n", label,
                 static_cast<long long>(kinds_[1]));
    appendHeader(out, "quorvex_block_errors_total", "counter", "Groups broken off.");
    appendPrintf(out, "quorvex_block_errors_total{%s} %lld\n", label,
                 static_cast<long long>(blockErrors_));
    appendHeader(out, "quorvex_last_transition_timestamp_seconds", "gauge",
                 "Wall clock when the last transition was timed.");
    appendPrintf(out, "quorvex_last_transition_timestamp_seconds{%s} %.3f\n", label,
                 lastTransition_);
    appendHistogram(out);
    appendDelayCounters(out);
    return out;
}

// A temporary file beside the real one, then a rename over it: an exporter
// reads the old file whole or the new one whole, never half of either.
bool MetricsFile::write(ReplacingFile& file, bool again, std::string& whyNot) {
    if (!file.isOpen()) {
        whyNot = file.errorText().empty() ? "not open" : file.errorText();
        return false;
    }
    file.writer().writeRaw(text()); // the format's lines end in LF on every system
    if (!file.commit(again)) {
        whyNot = file.errorText();
        return false;
    }
    changed_ = false;
    lastWrite_ = std::chrono::steady_clock::now();
    return true;
}

bool MetricsFile::poll(ReplacingFile& file, std::string& whyNot) {
    const auto since = std::chrono::steady_clock::now() - lastWrite_;
    if ((changed_ && since >= kAtMostEvery) || since >= kAtLeastEvery)
        return write(file, true, whyNot);
    return true;
}

} // namespace qv
