#include "sinks/delay_limits.h"

#include "sinks/transition_csv.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <utility>

namespace qv {

namespace {

constexpr std::int64_t kLargestLimit = 2147483647;

bool sameNameIgnoringCase(std::string_view text, std::string_view name) {
    if (text.size() != name.size())
        return false;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(text[i])) != name[i])
            return false;
    return true;
}

int delayIndex(std::string_view name) {
    for (int d = 0; d < kDelayCount; ++d)
        if (sameNameIgnoringCase(name, delayKey(d)))
            return d;
    return -1;
}

struct UnitSuffix {
    std::string_view suffix;
    LimitUnit unit;
    std::int64_t perSecond; // units in a second; 0 where it is no time
};

// "ms" before "s": the longest suffix that ends the text wins.
constexpr UnitSuffix kUnits[] = {
    {"fr", LimitUnit::Frames, 0},
    {"ms", LimitUnit::Milliseconds, 1000},
    {"s", LimitUnit::Seconds, 1},
};

constexpr int kMaxDigits = 12;

// Digits with at most one point (a bare number of fields: no point); no
// sign, no blanks, nothing after them.
bool parseDecimal(std::string_view text, bool decimals, GivenLimit& limit) {
    const std::size_t point = text.find('.');
    if (text.empty() || (point != std::string_view::npos && !decimals) || text == ".")
        return false;
    limit.number = 0;
    limit.scale = 1;
    int digits = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (i == point)
            continue;
        const char c = text[i];
        if (c < '0' || c > '9' || ++digits > kMaxDigits)
            return false;
        limit.number = limit.number * 10 + (c - '0');
        if (point != std::string_view::npos && i > point && (limit.scale *= 10) > 1000000)
            return false;
    }
    return true;
}

// Whole fields in the limit at `fieldRate` fields per second, rounded down.
std::int64_t fieldsIn(const GivenLimit& limit, FieldRate rate) {
    switch (limit.unit) {
    case LimitUnit::Fields:
        return limit.number;
    case LimitUnit::Frames:
        return 2 * limit.number / limit.scale;
    case LimitUnit::Milliseconds:
        return limit.number * rate.fields / (limit.scale * 1000 * rate.seconds);
    case LimitUnit::Seconds:
        return limit.number * rate.fields / (limit.scale * rate.seconds);
    }
    return limit.number;
}

bool parseLimit(std::string_view text, GivenLimit& limit) {
    limit.unit = LimitUnit::Fields;
    std::string_view number = text;
    for (const UnitSuffix& unit : kUnits)
        if (text.size() > unit.suffix.size() && text.ends_with(unit.suffix)) {
            limit.unit = unit.unit;
            number = text.substr(0, text.size() - unit.suffix.size());
            break;
        }
    if (!parseDecimal(number, limit.unit != LimitUnit::Fields, limit))
        return false;
    limit.text.assign(text);
    // The same bound whatever the rate: a limit is taken or refused before
    // /fps is known.
    for (FrameRate rate : {FrameRate::Fps30, FrameRate::Fps2997Drop, FrameRate::Fps25})
        if (fieldsIn(limit, Timebase(rate).fieldRate()) > kLargestLimit)
            return false;
    return true;
}

} // namespace

bool DelayLimits::any() const {
    for (std::int64_t limit : fields)
        if (limit != kNoLimit)
            return true;
    return false;
}

void DelayLimits::resolve(const Timebase& timebase) {
    for (int d = 0; d < kDelayCount; ++d)
        if (fields[d] != kNoLimit)
            fields[d] = fieldsIn(given[d], timebase.fieldRate());
}

bool parseDelayLimit(std::string_view text, DelayLimits& limits) {
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos)
        return false;
    const int delay = delayIndex(text.substr(0, colon));
    GivenLimit limit;
    if (delay < 0 || !parseLimit(text.substr(colon + 1), limit))
        return false;
    limits.fields[delay] = fieldsIn(limit, Timebase().fieldRate());
    limits.given[delay] = std::move(limit);
    return true;
}

std::string delayInUnit(std::int64_t fields, const GivenLimit& limit, const Timebase& timebase) {
    char text[48];
    const double seconds = timebase.secondsOf(fields);
    switch (limit.unit) {
    case LimitUnit::Fields:
        std::snprintf(text, sizeof text, "%lld", static_cast<long long>(fields));
        break;
    case LimitUnit::Frames:
        std::snprintf(text, sizeof text, "%lld%sfr", static_cast<long long>(fields / 2),
                      fields % 2 != 0 ? ".5" : "");
        break;
    case LimitUnit::Milliseconds:
        std::snprintf(text, sizeof text, "%.1fms", seconds * 1000);
        break;
    case LimitUnit::Seconds:
        std::snprintf(text, sizeof text, "%.3fs", seconds);
        break;
    }
    return text;
}

void LimitTally::addIncident(const LimitIncident& incident) {
    ++incidents;
    breaches += incident.breaches;
    if (named.size() < kNamed)
        named.push_back(incident);
}

LimitCheck::LimitCheck(const DelayLimits& limits, const Timebase& timebase, Console& console,
                       bool follow)
    : limits_(limits), timebase_(timebase), console_(console), follow_(follow),
      incidentGap_(timebase.fieldsPerHour() / 12) {}

void LimitCheck::beginFile(std::string_view name) {
    fileName_.assign(name);
    for (LimitTally& tally : file_)
        tally = LimitTally{};
}

void LimitCheck::group(const TransitionRecord& record) {
    for (int d = 0; d < kDelayCount; ++d) {
        // A group five minutes after the last breach ends its incident, so
        // that a watch hears of it without waiting for the next breach.
        if (isOpen_[d] && std::abs(timebase_.aroundMidnight(record.startFields -
                                                            open_[d].toFields)) >= incidentGap_)
            endIncident(d);
        const std::int64_t limit = limits_.fields[d];
        if (limit == DelayLimits::kNoLimit || record.delays[d] <= limit)
            continue;
        const long long line = static_cast<long long>(record.startLine);
        if (!record.delaySound[d]) {
            console_.diagnose("limit %s skipped (misread timecode) in %s line %lld", delayKey(d),
                              fileName_.c_str(), line);
            continue;
        }
        breach(d, record);
        timecode_.clear();
        appendTimecodeText(timecode_, record.startTimecode);
        const std::string delay = delayInUnit(record.delays[d], limits_.given[d], timebase_);
        console_.diagnose("limit %s %s > %s in %s line %lld at %s", delayKey(d), delay.c_str(),
                          limits_.given[d].text.c_str(), fileName_.c_str(), line,
                          timecode_.c_str());
    }
}

void LimitCheck::breach(int d, const TransitionRecord& record) {
    ++breaches_;
    LimitIncident& incident = open_[d];
    if (!isOpen_[d]) {
        incident = LimitIncident{record.startFields, record.startFields, record.startTimecode,
                                 record.startTimecode, 0};
        isOpen_[d] = true;
    }
    incident.toFields = record.startFields;
    incident.toTimecode = record.startTimecode;
    ++incident.breaches;
}

void LimitCheck::endIncident(int d) {
    isOpen_[d] = false;
    const LimitIncident& incident = open_[d];
    file_[d].addIncident(incident);
    run_[d].addIncident(incident);
    if (!follow_)
        return;
    line_.clear();
    appendTimecodeText(line_, incident.fromTimecode);
    line_ += '-';
    appendTimecodeText(line_, incident.toTimecode);
    console_.diagnose("limit %s incident %s (%lld) in %s", delayKey(d), line_.c_str(),
                      static_cast<long long>(incident.breaches), fileName_.c_str());
}

// "limit rev2router in a.log: 3 breaches in 2 incidents: 22:05:00:00-22:05:00:00 (1), ..."
void LimitCheck::printTotals(int d, const LimitTally& tally, const char* where) {
    if (tally.breaches == 0) {
        console_.diagnose("limit %s in %s: no breach", delayKey(d), where);
        return;
    }
    line_.clear();
    appendPrintf(line_, "%lld breach%s in %lld incident%s:", static_cast<long long>(tally.breaches),
                 tally.breaches == 1 ? "" : "es", static_cast<long long>(tally.incidents),
                 tally.incidents == 1 ? "" : "s");
    for (std::size_t i = 0; i < tally.named.size(); ++i) {
        const LimitIncident& incident = tally.named[i];
        line_ += i == 0 ? " " : ", ";
        appendTimecodeText(line_, incident.fromTimecode);
        line_ += '-';
        appendTimecodeText(line_, incident.toTimecode);
        appendPrintf(line_, " (%lld)", static_cast<long long>(incident.breaches));
    }
    const std::int64_t more = tally.incidents - static_cast<std::int64_t>(tally.named.size());
    if (more > 0)
        appendPrintf(line_, ", and %lld more", static_cast<long long>(more));
    console_.diagnose("limit %s in %s: %s", delayKey(d), where, line_.c_str());
}

void LimitCheck::endFile(const FileSummaryFigures&) {
    for (int d = 0; d < kDelayCount; ++d) {
        if (limits_.fields[d] == DelayLimits::kNoLimit)
            continue;
        if (isOpen_[d])
            endIncident(d);
        printTotals(d, file_[d], fileName_.c_str());
    }
}

void LimitCheck::endRun() {
    for (int d = 0; d < kDelayCount; ++d)
        if (limits_.fields[d] != DelayLimits::kNoLimit)
            printTotals(d, run_[d], "the run");
}

} // namespace qv
