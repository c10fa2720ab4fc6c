#include "sinks/delay_chart.h"

#include "platform/platform.h"
#include "sinks/chart_draw.h"
#include "sinks/chart_text.h"
#include "sinks/chart_timeline.h"
#include "sinks/numbers.h"

#include <algorithm>
#include <cstdio>
#include <span>

namespace qv {

namespace {

// The hour of day of a timecode as its digits read (as the hourly table takes it).
std::uint8_t hourOf(std::uint32_t raw) {
    const unsigned tens = (raw >> 28) & 0xFu, ones = (raw >> 24) & 0xFu;
    const unsigned hour = tens * 10 + ones;
    return ones <= 9 && hour < 24 ? static_cast<std::uint8_t>(hour) : kNoHour;
}

// The statistics of `points`, each delay in turn.
void fillStats(StatColumn& column, std::span<const ChartPoint> points, const ChartOptions& options,
               std::vector<std::int32_t>& values) {
    column.groups += static_cast<std::int64_t>(points.size());
    for (int d = 0; d < kDelayCount; ++d) {
        values.clear();
        for (const ChartPoint& p : points) {
            values.push_back(p.delays[d]);
            column.breaches += options.limits[d] && p.delays[d] > *options.limits[d] ? 1 : 0;
        }
        column.delays[d] = delayStats(values);
    }
}

std::string tipHead(const std::string& what, const StatColumn& c) {
    return textf("%s: %lld groups with sound delays, %lld block errors, %lld breaches",
                 what.c_str(), static_cast<long long>(c.groups),
                 static_cast<long long>(c.blockErrors), static_cast<long long>(c.breaches));
}

} // namespace

void DelayChart::beginFile(std::string_view name) {
    ChartFile file;
    file.name.assign(name);
    file.begin = file.end = points_.size();
    files_.push_back(std::move(file));
    open_ = true;
}

void DelayChart::group(const TransitionRecord& record) {
    if (files_.empty())
        beginFile("");
    ChartFile& file = files_.back();
    if (!std::all_of(std::begin(record.delaySound), std::end(record.delaySound),
                     [](bool sound) { return sound; })) {
        ++file.unsound;
        return;
    }
    file.untimed += record.startSound ? 0 : 1;
    ChartPoint point{record.startFields,
                     {},
                     record.startSound,
                     record.startSound ? hourOf(record.startTimecode) : kNoHour};
    for (int d = 0; d < kDelayCount; ++d) {
        point.delays[d] = clampToInt32(record.delays[d]);
        file.breaches += options_.limits[d] && record.delays[d] > *options_.limits[d] ? 1 : 0;
    }
    points_.push_back(point);
    file.end = points_.size();
}

void DelayChart::brokenGroup(const BrokenGroup& group) {
    const std::uint8_t hour = hourOf(group.startTimecode);
    if (hour != kNoHour)
        ++brokenByHour_[hour];
}

void DelayChart::endFile(const FileSummaryFigures& summary) {
    if (files_.empty())
        beginFile("");
    ChartFile& file = files_.back();
    file.summary = summary;
    file.end = points_.size();
    layOutTimes(std::span<ChartPoint>(points_).subspan(file.begin, file.pointCount()), file,
                timebase_);
    open_ = false;
}

// A column per file; past kMaxColumns files, a column per run of neighbours.
std::string DelayChart::overview(double& top, const ValueAxis& axis) const {
    const std::size_t count = std::min(files_.size(), kMaxColumns);
    std::vector<StatColumn> columns(count);
    std::vector<std::int32_t> values;
    for (std::size_t c = 0; c < count; ++c) {
        const std::size_t from = c * files_.size() / count, to = (c + 1) * files_.size() / count;
        StatColumn& column = columns[c];
        for (std::size_t i = from; i < to; ++i)
            column.blockErrors += files_[i].summary.blockErrors;
        const std::size_t begin = files_[from].begin, end = files_[to - 1].end;
        fillStats(column, std::span<const ChartPoint>(points_).subspan(begin, end - begin),
                  options_, values);
        column.label = files_[from].name;
        if (to - from > 1)
            column.label += textf(" +%zu", to - from - 1);
        column.tip = tipHead(column.label, column);
        appendStatTip(column.tip, column);
    }
    std::string out;
    top += 40;
    top += drawStatView(out, top,
                        "Each file in run order: median (line), 5-95% (band) and maximum (tick) "
                        "of the sound delays",
                        columns, true, axis, options_);
    return out;
}

std::string DelayChart::hours(double& top, const ValueAxis& axis) const {
    std::vector<StatColumn> columns(24);
    std::vector<std::int32_t> values;
    for (int h = 0; h < 24; ++h) {
        std::vector<ChartPoint> inHour;
        for (const ChartPoint& p : points_)
            if (p.hour == h)
                inHour.push_back(p);
        StatColumn& column = columns[static_cast<std::size_t>(h)];
        column.blockErrors = brokenByHour_[h];
        fillStats(column, inHour, options_, values);
        column.label = textf("%02d", h);
        column.tip = tipHead("hour " + column.label, column);
        appendStatTip(column.tip, column);
    }
    std::string out;
    top += 40;
    top += drawStatView(out, top, "Each hour of day across all files: the same figures", columns,
                        false, axis, options_);
    return out;
}

std::string DelayChart::document() const {
    // The file still being read is laid out on a copy of its points.
    std::vector<ChartPoint> tail;
    ChartFile openFile;
    if (open_ && !files_.empty()) {
        openFile = files_.back();
        tail.assign(points_.begin() + static_cast<std::ptrdiff_t>(openFile.begin), points_.end());
        layOutTimes(tail, openFile, timebase_);
    }
    const std::vector<ChartFile>& files = files_;
    std::int64_t groups = 0, errors = 0, breaches = 0;
    for (const ChartFile& f : files_)
        groups += f.summary.transitions, errors += f.summary.blockErrors, breaches += f.breaches;
    std::string body =
        textf("<text x=\"80\" y=\"24\" font-size=\"16\" font-weight=\"bold\">"
              "Transition delays in frames: %zu file%s, %lld transitions, %lld "
              "block errors, %lld breaches</text>\n",
              files.size(), files.size() == 1 ? "" : "s", static_cast<long long>(groups),
              static_cast<long long>(errors), static_cast<long long>(breaches));
    for (int d = 0; d < kDelayCount; ++d)
        body += textf("<rect x=\"%d\" y=\"34\" width=\"14\" height=\"10\" fill=\"%s\"/><text "
                      "x=\"%d\" y=\"43\">%s</text>\n",
                      80 + 150 * d, kDelayLooks[d].colour, 98 + 150 * d, kDelayLooks[d].name);
    double top = 50;
    const ValueAxis axis = delayAxis(points_, options_);
    if (files.size() > 1)
        body += overview(top, axis);
    body += hours(top, axis);
    const PanelScales scales = panelScales(axis, files, open_ ? &openFile : nullptr, timebase_);
    for (std::size_t i = 0; i < files.size() && i < kMaxPanels; ++i) {
        const bool isTail = open_ && i + 1 == files.size();
        const ChartFile& f = isTail ? openFile : files[i];
        const std::span<const ChartPoint> points =
            isTail ? std::span<const ChartPoint>(tail)
                   : std::span<const ChartPoint>(points_).subspan(f.begin, f.pointCount());
        drawPanel(body, top, f, points, scales, options_, timebase_);
        top += kPanelStep;
    }
    if (files.size() > kMaxPanels) {
        body += textf("<text class=\"note\" x=\"80\" y=\"%.0f\">The panels of the other %zu "
                      "files are left out: only the first %zu are drawn.</text>\n",
                      top + 10, files.size() - kMaxPanels, kMaxPanels);
        top += 30;
    }
    if (files.empty()) {
        body += "<text x=\"80\" y=\"80\" font-size=\"15\">no log files analysed</text>\n";
        top += 60;
    }
    const int height = static_cast<int>(top) + 10;
    return textf("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
                 "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"%d\" "
                 "height=\"%d\" viewBox=\"0 0 %d %d\" font-family=\"DejaVu Sans, Arial, "
                 "Helvetica, sans-serif\" font-size=\"12\">\n<title>Transition delays</title>\n"
                 "<rect width=\"%d\" height=\"%d\" fill=\"#fff\"/>\n",
                 kChartWidth, height, kChartWidth, height, kChartWidth, height) +
           body + "</svg>\n";
}

} // namespace qv
