#include "sinks/delay_limits.h"

#include "sinks/transition_csv.h"

#include <cctype>

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
        console_.diagnose("limit %s %lld > %lld in %s line %lld at %s", delayKey(d),
                          static_cast<long long>(record.delays[d]), static_cast<long long>(limit),
                          fileName_.c_str(), line, timecode_.c_str());
    }
}

} // namespace qv
