#include "sinks/hourly_stats.h"

#include "sinks/numbers.h"
#include "sinks/transition_csv.h"

#include <algorithm>
#include <cstdio>
#include <string_view>

namespace qv {

namespace {

constexpr std::string_view kHeader =
    "file,hour,groups,block_errors,"
    "rev2router_min,rev2router_p50,rev2router_p95,rev2router_max,rev2router_avg,"
    "rtrcmd2status_min,rtrcmd2status_p50,rtrcmd2status_p95,rtrcmd2status_max,rtrcmd2status_avg,"
    "rtrcmd2mx_min,rtrcmd2mx_p50,rtrcmd2mx_p95,rtrcmd2mx_max,rtrcmd2mx_avg\r\n";

constexpr int kHoursOfDay = 24;
constexpr int kHourValues = 256;

// The hour byte of a time of day ("00" to "23"), else -1.
int hourOfDay(int hour) {
    const int tens = hour >> 4;
    const int units = hour & 0x0F;
    const int value = tens * 10 + units;
    return tens <= 9 && units <= 9 && value < kHoursOfDay ? value : -1;
}

int hourByte(int hourOfDay) {
    return (hourOfDay / 10) << 4 | hourOfDay % 10;
}

// The first two characters of the timecode as the transitions CSV shows it.
void appendHourText(std::string& out, int hour) {
    out += kHexDigits[hour >> 4];
    out += kHexDigits[hour & 0x0F];
}

std::int32_t percentile(const std::vector<std::int32_t>& sorted, int percent) {
    return sorted[nearestRankIndex(sorted.size(), percent * 10)];
}

// min,p50,p95,max,avg of one delay; sorts the values.
void appendDelayFields(std::string& out, std::vector<std::int32_t>& values) {
    std::sort(values.begin(), values.end());
    std::int64_t sum = 0;
    for (std::int32_t value : values)
        sum += value;
    for (std::int64_t field : {std::int64_t{values.front()}, std::int64_t{percentile(values, 50)},
                               std::int64_t{percentile(values, 95)}, std::int64_t{values.back()}}) {
        out += ',';
        appendNumber(out, field);
    }
    char avg[32];
    const int n = std::snprintf(avg, sizeof avg, ",%.1f",
                                static_cast<double>(sum) / static_cast<double>(values.size()));
    // A small negative average rounds to "-0.0", which reads as a distinct value.
    if (std::string_view(avg, static_cast<std::size_t>(n)) == ",-0.0")
        out += ",0.0";
    else
        out.append(avg, static_cast<std::size_t>(n));
}

} // namespace

HourlyStats::HourlyStats(const std::string& path) : file_(path.c_str()) {
    file_.writeRaw(kHeader);
}

void HourlyStats::beginFile(std::string_view name) {
    fileField_.clear();
    appendCsvTextField(fileField_, name);
    firstHour_ = -1;
}

HourlyStats::Hour& HourlyStats::hourOf(std::uint32_t rawTimecode) {
    const int hour = static_cast<int>(rawTimecode >> 24);
    if (firstHour_ < 0)
        firstHour_ = hourOfDay(hour);
    return hours_[static_cast<std::size_t>(hour)];
}

void HourlyStats::group(const TransitionRecord& record) {
    Hour& hour = hourOf(record.startTimecode);
    for (int d = 0; d < kDelayCount; ++d)
        hour.delays[d].push_back(clampToInt32(record.delays[d]));
}

void HourlyStats::brokenGroup(const BrokenGroup& broken) {
    ++hourOf(broken.startTimecode).brokenGroups;
}

void HourlyStats::appendRow(int hour) {
    Hour& counts = hours_[static_cast<std::size_t>(hour)];
    row_ += fileField_;
    row_ += ',';
    appendHourText(row_, hour);
    row_ += ',';
    appendNumber(row_, static_cast<std::int64_t>(counts.delays[0].size()));
    row_ += ',';
    appendNumber(row_, counts.brokenGroups);
    if (counts.delays[0].empty())
        row_ += ",,,,,,,,,,,,,,,";
    else
        for (std::vector<std::int32_t>& values : counts.delays)
            appendDelayFields(row_, values);
    row_ += "\r\n";
    counts = Hour{};
}

// Hours of the day from the file's first one on, wrapping at midnight; then
// any other hour value in byte order.
void HourlyStats::endFile(const FileSummaryFigures&) {
    row_.clear();
    const int first = std::max(firstHour_, 0);
    for (int k = 0; k < kHoursOfDay; ++k) {
        const int hour = hourByte((first + k) % kHoursOfDay);
        if (!hours_[static_cast<std::size_t>(hour)].empty())
            appendRow(hour);
    }
    for (int hour = 0; hour < kHourValues; ++hour)
        if (hourOfDay(hour) < 0 && !hours_[static_cast<std::size_t>(hour)].empty())
            appendRow(hour);
    file_.writeRaw(row_);
}

} // namespace qv
