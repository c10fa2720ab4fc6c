#include "sinks/hourly_stats.h"

#include "sinks/numbers.h"
#include "sinks/transition_csv.h"

#include <algorithm>
#include <cstdio>
#include <string_view>

namespace qv {

namespace {

std::string headerRow() {
    std::string header = "file,hour,groups,block_errors";
    for (int d = 0; d < kDelayCount; ++d)
        for (const char* figure : {"_min", "_p50", "_p95", "_max", "_avg"})
            (header += ',').append(delayKey(d)) += figure;
    for (int d = 0; d < kDelayCount; ++d)
        (header += ',').append(delayKey(d)) += "_unsound";
    return header + "\r\n";
}

constexpr int kHoursOfDay = 24;
constexpr std::string_view kMisreadRow = "misread";

// The hour of a sound timecode: its first byte, two BCD digits 00 to 23.
int hourOfDay(std::uint32_t rawTimecode) {
    const auto hour = static_cast<int>(rawTimecode >> 24);
    return (hour >> 4) * 10 + (hour & 0x0F);
}

void appendHourText(std::string& out, int hour) {
    out += static_cast<char>('0' + hour / 10);
    out += static_cast<char>('0' + hour % 10);
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
    file_.writeRaw(headerRow());
}

void HourlyStats::beginFile(std::string_view name) {
    fileField_.clear();
    appendCsvTextField(fileField_, name);
    firstHour_ = -1;
}

HourlyStats::Hour& HourlyStats::hourOf(std::uint32_t rawTimecode, bool startSound) {
    if (!startSound)
        return misread_;
    const int hour = hourOfDay(rawTimecode);
    if (firstHour_ < 0)
        firstHour_ = hour;
    return hours_[static_cast<std::size_t>(hour)];
}

void HourlyStats::group(const TransitionRecord& record) {
    Hour& hour = hourOf(record.startTimecode, record.startSound);
    ++hour.groups;
    for (int d = 0; d < kDelayCount; ++d) {
        if (record.delaySound[d])
            hour.delays[d].push_back(clampToInt32(record.delays[d]));
        else
            ++hour.unsound[d];
    }
}

void HourlyStats::brokenGroup(const BrokenGroup& broken) {
    ++hourOf(broken.startTimecode, broken.startSound).brokenGroups;
}

void HourlyStats::appendRow(Hour& counts, std::string_view hourText) {
    row_ += fileField_;
    row_ += ',';
    row_ += hourText;
    row_ += ',';
    appendNumber(row_, counts.groups);
    row_ += ',';
    appendNumber(row_, counts.brokenGroups);
    for (std::vector<std::int32_t>& values : counts.delays) {
        if (values.empty())
            row_ += ",,,,,";
        else
            appendDelayFields(row_, values);
    }
    for (std::int64_t unsound : counts.unsound) {
        row_ += ',';
        appendNumber(row_, unsound);
    }
    row_ += "\r\n";
    counts = Hour{};
}

// Hours of the day from the file's first one on, wrapping at midnight; then
// the misread row.
void HourlyStats::endFile(const FileSummaryFigures&) {
    row_.clear();
    const int first = std::max(firstHour_, 0);
    std::string hourText;
    for (int k = 0; k < kHoursOfDay; ++k) {
        Hour& hour = hours_[static_cast<std::size_t>((first + k) % kHoursOfDay)];
        if (hour.empty())
            continue;
        hourText.clear();
        appendHourText(hourText, (first + k) % kHoursOfDay);
        appendRow(hour, hourText);
    }
    if (!misread_.empty())
        appendRow(misread_, kMisreadRow);
    file_.writeRaw(row_);
}

} // namespace qv
