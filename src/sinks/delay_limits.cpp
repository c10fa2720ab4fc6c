#include "sinks/delay_limits.h"

#include "sinks/transition_csv.h"

#include <cctype>
#include <cstdio>
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

constexpr int kMaxDecimals = 6;
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

void LimitCheck::group(const TransitionRecord& record) {
    for (int d = 0; d < kDelayCount; ++d) {
        const std::int64_t limit = limits_.fields[d];
        if (limit == DelayLimits::kNoLimit || record.delays[d] <= limit)
            continue;
        const long long line = static_cast<long long>(record.startLine);
        if (!record.delaySound[d]) {
            console_.diagnose("limit %s skipped (misread timecode) in %s line %lld", delayKey(d),
                              fileName_.c_str(), line);
            continue;
        }
        ++breaches_;
        timecode_.clear();
        appendTimecodeText(timecode_, record.startTimecode);
        const std::string delay = delayInUnit(record.delays[d], limits_.given[d], timebase_);
        console_.diagnose("limit %s %s > %s in %s line %lld at %s", delayKey(d), delay.c_str(),
                          limits_.given[d].text.c_str(), fileName_.c_str(), line,
                          timecode_.c_str());
    }
}

} // namespace qv
