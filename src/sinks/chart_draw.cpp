#include "sinks/chart_draw.h"

#include "sinks/chart_text.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace qv {

namespace {

constexpr double kLeft = 80, kRight = 1300;
constexpr int kPanelColumns = 122; // 10 pixels each
constexpr int kMaxLabels = 62;     // under a view's columns
// Clock steps of the time axis, in minutes.
constexpr int kStepMinutes[] = {1, 2, 5, 10, 15, 30, 60, 120, 180, 240, 360, 720, 1440};

// A plot box and how delays map onto it.
struct Frame {
    double top, height;
    const ValueAxis& axis;

    double bottom() const { return top + height; }
    double y(double fields) const {
        const double at = bottom() - (fields / 2 - axis.lo) / (axis.hi - axis.lo) * height;
        return std::clamp(at, top, bottom());
    }
};

void add(std::string& path, const char* fmt, double a, double b, double c = 0, double d = 0) {
    path += textf(fmt, a, b, c, d);
}

void appendPath(std::string& out, const char* cls, const std::string& d, const char* style) {
    if (!d.empty())
        out += textf("<path class=\"%s\" d=\"%s\" %s/>\n", cls, d.c_str(), style);
}

// Grid lines with their labels, and each limit as a dashed line.
void drawDelayAxis(std::string& out, const Frame& f, const ChartOptions& options) {
    for (double v = f.axis.lo; v <= f.axis.hi + 1e-9; v += f.axis.step) {
        const double y = f.y(v * 2);
        std::string label;
        appendDecimal(label, v);
        out +=
            textf("<path d=\"M%.0f %.1fH%.0f\" stroke=\"%s\"/>\n<text class=\"delay-tick\" "
                  "x=\"%.0f\" y=\"%.1f\" text-anchor=\"end\" font-size=\"11\">%s</text>\n",
                  kLeft, y, kRight, v == 0 ? "#888" : "#e4e4e4", kLeft - 6, y + 4, label.c_str());
    }
    for (int d = 0; d < kDelayCount; ++d)
        if (options.limits[d]) {
            const double y = f.y(static_cast<double>(*options.limits[d]));
            out += textf("<path class=\"limit\" d=\"M%.0f %.1fH%.0f\" stroke=\"%s\" "
                         "stroke-dasharray=\"6 3\"/>\n<text class=\"limit\" x=\"%.0f\" "
                         "y=\"%.1f\" font-size=\"10\" fill=\"%s\">limit %s %s fr</text>\n",
                         kLeft, y, kRight, kDelayLooks[d].colour, kRight + 4, y + 3 + 10 * d,
                         kDelayLooks[d].colour, kDelayLooks[d].key,
                         framesText(*options.limits[d]).c_str());
        }
}

// Paths of one delay, gathered so that each is one element.
struct DelayPaths {
    std::string band, median, max, pinned;

    void write(std::string& out, int d) const {
        const char* colour = kDelayLooks[d].colour;
        appendPath(out, "band", band, textf("fill=\"%s\" fill-opacity=\".3\"", colour).c_str());
        appendPath(out, "median", median,
                   textf("stroke=\"%s\" stroke-width=\"2\" fill=\"none\"", colour).c_str());
        appendPath(out, "max", max, textf("stroke=\"%s\" fill=\"none\"", colour).c_str());
        appendPath(out, "pinned", pinned, textf("fill=\"%s\"", colour).c_str());
    }
};

// A column `width` wide at `x`: the band, the median and, when asked, the maximum.
void addColumn(DelayPaths& p, const Frame& f, double x, double width, const DelayStats& s,
               bool withMax) {
    if (s.count == 0)
        return;
    add(p.band, "M%.1f %.1fh%.1fV%.1f", x, f.y(s.p95), width, f.y(s.p5));
    p.band += textf("h%.1fz", -width);
    add(p.median, "M%.1f %.1fh%.1f", x, f.y(s.p50), width);
    if (withMax && !f.axis.above(s.max))
        add(p.max, "M%.1f %.1fh%.1f", x, f.y(s.max), width);
    if (f.axis.above(s.max)) // pinned to the top edge
        add(p.pinned, "M%.1f %.1fl3 -5l3 5z", x + width / 2 - 3, f.top + 5);
    if (f.axis.below(s.p5))
        add(p.pinned, "M%.1f %.1fl3 5l3 -5z", x + width / 2 - 3, f.bottom() - 5);
}

void addMarks(std::string& breaches, std::string& errors, double x, double top,
              std::int64_t breachCount, std::int64_t errorCount) {
    if (breachCount > 0)
        add(breaches, "M%.1f %.1fl4 4l-4 4l-4 -4z", x, top - 11);
    if (errorCount > 0)
        add(errors, "M%.1f %.1fh6v6h-6z", x - 3, top - 20);
}

void writeMarks(std::string& out, const std::string& breaches, const std::string& errors) {
    appendPath(out, "breach", breaches, "fill=\"#d00\"");
    appendPath(out, "block-error", errors, "fill=\"#333\"");
}

} // namespace

void appendStatTip(std::string& tip, const StatColumn& column) {
    for (int d = 0; d < kDelayCount; ++d) {
        const DelayStats& s = column.delays[d];
        if (s.count > 0)
            tip += textf("\n%s median %s, 5-95%% %s to %s, max %s", kDelayLooks[d].name,
                         framesText(s.p50).c_str(), framesText(s.p5).c_str(),
                         framesText(s.p95).c_str(), framesText(s.max).c_str());
    }
}

double drawStatView(std::string& out, double top, const char* title,
                    const std::vector<StatColumn>& columns, bool slanted, const ValueAxis& axis,
                    const ChartOptions& options) {
    const Frame f{top, kViewHeight, axis};
    out += textf("<g class=\"view\">\n<text class=\"view-title\" x=\"%.0f\" y=\"%.0f\" "
                 "font-size=\"13\" font-weight=\"bold\">%s</text>\n",
                 kLeft, top - 24, title);
    drawDelayAxis(out, f, options);
    const double width =
        (kRight - kLeft) / static_cast<double>(std::max<std::size_t>(columns.size(), 1));
    const std::size_t every = (columns.size() + kMaxLabels - 1) / kMaxLabels;
    DelayPaths paths[kDelayCount];
    std::string breaches, errors, hover;
    for (std::size_t i = 0; i < columns.size(); ++i) {
        const StatColumn& c = columns[i];
        const double x = kLeft + static_cast<double>(i) * width;
        for (int d = 0; d < kDelayCount; ++d) // side by side, each a quarter wide
            addColumn(paths[d], f, x + width * (0.11 + 0.27 * d), width * 0.24, c.delays[d], true);
        addMarks(breaches, errors, x + width / 2, top, c.breaches, c.blockErrors);
        hover += textf("<rect class=\"column\" x=\"%.1f\" y=\"%.0f\" width=\"%.1f\" "
                       "height=\"%.0f\" fill-opacity=\"0\"><title>",
                       x, top, width, kViewHeight);
        for (std::size_t from = 0; from < c.tip.size();) { // a line break per figure line
            const std::size_t end = std::min(c.tip.find('\n', from), c.tip.size());
            appendXmlText(hover, std::string_view(c.tip).substr(from, end - from));
            hover += end < c.tip.size() ? "&#10;" : "";
            from = end + 1;
        }
        hover += "</title></rect>\n";
        if (i % every != 0)
            continue;
        const double cx = x + width / 2, ly = f.bottom() + (slanted ? 8 : 14);
        out += textf("<text class=\"column-label\" x=\"%.1f\" y=\"%.0f\" font-size=\"10\" "
                     "text-anchor=\"%s\"",
                     cx + (slanted ? 3 : 0), ly, slanted ? "end" : "middle");
        if (slanted)
            out += textf(" transform=\"rotate(-60 %.1f %.0f)\"", cx + 3, ly);
        out += '>';
        appendXmlText(out, c.label, 18);
        out += "</text>\n";
    }
    for (int d = 0; d < kDelayCount; ++d)
        paths[d].write(out, d);
    writeMarks(out, breaches, errors);
    out += hover;
    out += "</g>\n";
    return kViewHeight + (slanted ? 100 : 30);
}

PanelScales panelScales(const ValueAxis& axis, std::span<const ChartFile> files,
                        const ChartFile* extra, const Timebase& timebase) {
    const auto each = [&](auto&& use) {
        for (const ChartFile& f : files)
            if (!f.segments.empty())
                use(f);
        if (extra && !extra->segments.empty())
            use(*extra);
    };
    std::int64_t span = 0;
    each(
        [&](const ChartFile& f) { span = std::max<std::int64_t>(span, f.lastTime - f.firstTime); });
    const std::int64_t hour = timebase.fieldsPerHour();
    const std::int64_t unit = span >= hour ? hour : hour / 60;
    std::int64_t length = unit;
    each([&](const ChartFile& f) {
        const std::int64_t start = f.firstTime - (f.firstTime % unit + unit) % unit;
        length = std::max(length, (f.lastTime - start) / unit * unit + unit);
    });
    return {axis, unit, length};
}

namespace {

// The time axis of a panel: ticks in clock steps, days and clocks set back.
void drawTimeAxis(std::string& out, const Frame& f, const ChartFile& file, std::int64_t start,
                  const PanelScales& s, const Timebase& timebase) {
    const double minute = static_cast<double>(timebase.fieldsPerHour()) / 60;
    const double minutes = static_cast<double>(s.length) / minute;
    int step = kStepMinutes[std::size(kStepMinutes) - 1];
    for (int m : kStepMinutes)
        if (minutes / m <= 12) {
            step = m;
            break;
        }
    const auto x = [&](double fields) {
        return kLeft + (fields - static_cast<double>(start)) / static_cast<double>(s.length) *
                           (kRight - kLeft);
    };
    const double first = std::ceil(static_cast<double>(start) / minute / step) * step;
    for (double m = first; m * minute <= static_cast<double>(start + s.length) + 1e-6; m += step) {
        const double tx = x(m * minute);
        out += textf("<path d=\"M%.1f %.1fv4\" stroke=\"#888\"/>\n<text class=\"time-tick\" "
                     "x=\"%.1f\" y=\"%.1f\" text-anchor=\"middle\" font-size=\"11\">%s</text>\n",
                     tx, f.bottom(), tx, f.bottom() + 16,
                     timeLabel(static_cast<std::int64_t>(std::llround(m)) % 1440).c_str());
    }
    const std::int64_t day = timebase.fieldsPerDay();
    for (std::int64_t d = start / day + 1; d * day < start + s.length; ++d)
        out +=
            textf("<path class=\"day\" d=\"M%.1f %.1fV%.1f\" stroke=\"#555\" "
                  "stroke-dasharray=\"4 3\"/>\n<text class=\"day\" x=\"%.1f\" y=\"%.1f\" "
                  "font-size=\"10\">day %lld</text>\n",
                  x(static_cast<double>(d * day)), f.top, f.bottom(),
                  x(static_cast<double>(d * day)) + 3, f.top + 10, static_cast<long long>(d + 1));
    for (std::size_t i = 1; i < file.segments.size(); ++i) {
        const TimeSegment& seg = file.segments[i];
        const double sx = x(seg.first);
        const std::int64_t clock = ((std::int64_t{seg.first} - seg.shift) % day + day) % day;
        out += textf(
            "<path class=\"set-back\" d=\"M%.1f %.1fV%.1f\" stroke=\"#a00\" "
            "stroke-dasharray=\"2 2\"/>\n<text class=\"set-back\" x=\"%.1f\" y=\"%.1f\" "
            "font-size=\"10\" fill=\"#a00\">clock set back to %s</text>\n",
            sx, f.top, f.bottom(), sx + 3, f.top + 22,
            timeLabel(static_cast<std::int64_t>(static_cast<double>(clock) / minute)).c_str());
    }
}

std::string panelTitle(const ChartFile& file) {
    const FileSummaryFigures& s = file.summary;
    std::string t = textf(": %lld transitions, %lld block errors, %lld lines",
                          static_cast<long long>(s.transitions),
                          static_cast<long long>(s.blockErrors), static_cast<long long>(s.lines));
    if (file.breaches > 0)
        t += textf(", %lld breaches", static_cast<long long>(file.breaches));
    if (file.unsound > 0)
        t += textf("; %lld left out (a delay from a misread timecode)",
                   static_cast<long long>(file.unsound));
    if (file.untimed > 0)
        t += textf("; %lld without a place in time", static_cast<long long>(file.untimed));
    return t;
}

} // namespace

void drawPanel(std::string& out, double top, const ChartFile& file,
               std::span<const ChartPoint> points, const PanelScales& s,
               const ChartOptions& options, const Timebase& timebase) {
    const Frame f{top + 26, kPanelHeight, s.axis};
    out += textf("<g class=\"panel\">\n<text class=\"panel-title\" x=\"%.0f\" y=\"%.0f\" "
                 "font-size=\"13\">",
                 kLeft, top + 14);
    appendXmlText(out, file.name, 80);
    appendXmlText(out, panelTitle(file));
    out += "</text>\n";
    drawDelayAxis(out, f, options);
    if (points.empty())
        out += textf("<text x=\"%.0f\" y=\"%.0f\" text-anchor=\"middle\" fill=\"#666\">"
                     "no completed transitions</text>\n",
                     (kLeft + kRight) / 2, f.top + kPanelHeight / 2);
    const std::int64_t start = file.firstTime - (file.firstTime % s.unit + s.unit) % s.unit;
    drawTimeAxis(out, f, file, start, s, timebase);
    // Each delay's values sorted by column, then one column after the other.
    std::vector<std::pair<int, std::int32_t>> byColumn;
    std::vector<std::int32_t> values;
    std::int64_t above = 0, below = 0;
    std::vector<bool> breach(kPanelColumns, false);
    DelayPaths paths[kDelayCount];
    const double width = (kRight - kLeft) / kPanelColumns;
    for (int d = 0; d < kDelayCount; ++d) {
        byColumn.clear();
        for (const ChartPoint& p : points)
            if (p.timed) {
                const std::int64_t at = (p.time - start) * kPanelColumns / s.length;
                byColumn.emplace_back(
                    static_cast<int>(std::clamp<std::int64_t>(at, 0, kPanelColumns - 1)),
                    p.delays[d]);
            }
        for (const ChartPoint& p : points) {
            above += s.axis.above(p.delays[d]) ? 1 : 0;
            below += s.axis.below(p.delays[d]) ? 1 : 0;
        }
        std::sort(byColumn.begin(), byColumn.end());
        for (std::size_t i = 0; i < byColumn.size();) {
            const int column = byColumn[i].first;
            values.clear();
            for (; i < byColumn.size() && byColumn[i].first == column; ++i)
                values.push_back(byColumn[i].second);
            const DelayStats stats = delayStats(values);
            if (options.limits[d] && stats.max > *options.limits[d])
                breach[static_cast<std::size_t>(column)] = true;
            addColumn(paths[d], f, kLeft + column * width, width, stats, false);
        }
    }
    for (int d = 0; d < kDelayCount; ++d)
        paths[d].write(out, d);
    std::string breaches, none;
    for (int c = 0; c < kPanelColumns; ++c)
        addMarks(breaches, none, kLeft + (c + 0.5) * width, f.top,
                 breach[static_cast<std::size_t>(c)] ? 1 : 0, 0);
    writeMarks(out, breaches, none);
    if (above > 0)
        out += textf(
            "<text class=\"pinned\" x=\"%.0f\" y=\"%.1f\" font-size=\"10\">%lld above</text>\n",
            kRight + 4, f.top + 8, static_cast<long long>(above));
    if (below > 0)
        out += textf(
            "<text class=\"pinned\" x=\"%.0f\" y=\"%.1f\" font-size=\"10\">%lld below</text>\n",
            kRight + 4, f.bottom(), static_cast<long long>(below));
    out += "</g>\n";
}

} // namespace qv
