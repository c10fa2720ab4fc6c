#include "sinks/delay_limits.h"

#include "sinks/transition_csv.h"

#include <cctype>
#include <cstdlib>

namespace qv {

const char* const kDelayNames[kDelayCount] = {"rev2router", "rtrcmd2status", "rtrcmd2mx"};

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
        if (sameNameIgnoringCase(name, kDelayNames[d]))
            return d;
    return -1;
}

// Digits only: no sign, no blanks, nothing after them.
bool parseFields(std::string_view text, std::int64_t& value) {
    if (text.empty())
        return false;
    value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + (c - '0');
        if (value > kLargestLimit)
            return false;
    }
    return true;
}

} // namespace

bool DelayLimits::any() const {
    for (std::int64_t limit : fields)
        if (limit != kNoLimit)
            return true;
    return false;
}

bool parseDelayLimit(std::string_view text, DelayLimits& limits) {
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos)
        return false;
    const int delay = delayIndex(text.substr(0, colon));
    std::int64_t value = 0;
    if (delay < 0 || !parseFields(text.substr(colon + 1), value))
        return false;
    limits.fields[delay] = value;
    return true;
}

void LimitTally::addIncident(const LimitIncident& incident) {
    ++incidents;
    breaches += incident.breaches;
    if (named.size() < kNamed)
        named.push_back(incident);
}

LimitCheck::LimitCheck(const DelayLimits& limits, Console& console, bool follow,
                       const Timebase& timebase)
    : limits_(limits), console_(console), follow_(follow),
      incidentGap_(timebase.fieldsPerHour() / 12), timebase_(timebase) {}

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
            console_.diagnose("limit %s skipped (misread timecode) in %s line %lld", kDelayNames[d],
                              fileName_.c_str(), line);
            continue;
        }
        breach(d, record);
        timecode_.clear();
        appendTimecodeText(timecode_, record.startTimecode);
        console_.diagnose("limit %s %lld > %lld in %s line %lld at %s", kDelayNames[d],
                          static_cast<long long>(record.delays[d]), static_cast<long long>(limit),
                          fileName_.c_str(), line, timecode_.c_str());
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
    console_.diagnose("limit %s incident %s (%lld) in %s", kDelayNames[d], line_.c_str(),
                      static_cast<long long>(incident.breaches), fileName_.c_str());
}

// "limit rev2router in a.log: 3 breaches in 2 incidents: 22:05:00:00-22:05:00:00 (1), ..."
void LimitCheck::printTotals(int d, const LimitTally& tally, const char* where) {
    if (tally.breaches == 0) {
        console_.diagnose("limit %s in %s: no breach", kDelayNames[d], where);
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
    console_.diagnose("limit %s in %s: %s", kDelayNames[d], where, line_.c_str());
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
