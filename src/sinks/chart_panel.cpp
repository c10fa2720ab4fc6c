#include "sinks/chart_panel.h"

#include "sinks/chart_axes.h"
#include "sinks/chart_columns.h"
#include "sinks/chart_format.h"
#include "sinks/chart_legend.h"
#include "sinks/chart_series.h"

#include <algorithm>
#include <limits>
#include <vector>

namespace qv {

namespace {

constexpr double kTitleWidthEm = 0.7; // bold runs wider than the estimate
constexpr double kFootnoteLine = 14;

// What the title, the legend and the footnote say of a panel's groups.
struct PanelFigures {
    std::int32_t min[kDelayCount] = {}, max[kDelayCount] = {};
    double averages[kDelayCount] = {}; // fields
    std::int64_t above = 0, below = 0, breaches = 0, reported = 0;
    std::int64_t timed = 0;
};

PanelFigures panelFigures(std::span<const ChartPoint> points, const PlotFrame& f,
                          const ChartOptions& options) {
    PanelFigures s;
    std::int64_t sums[kDelayCount] = {};
    std::fill(std::begin(s.min), std::end(s.min), std::numeric_limits<std::int32_t>::max());
    std::fill(std::begin(s.max), std::end(s.max), std::numeric_limits<std::int32_t>::min());
    for (const ChartPoint& p : points) {
        for (int d = 0; d < kDelayCount; ++d) {
            const std::int32_t v = p.delays[d];
            s.min[d] = std::min(s.min[d], v);
            s.max[d] = std::max(s.max[d], v);
            sums[d] += v;
            s.above += f.above(v) ? 1 : 0;
            s.below += f.below(v) ? 1 : 0;
            s.breaches += breaches(options, d, v) ? 1 : 0;
        }
        s.reported += p.reported() ? 1 : 0;
        s.timed += p.timed() ? 1 : 0;
    }
    for (int d = 0; d < kDelayCount; ++d)
        s.averages[d] = points.empty()
                            ? 0.0
                            : static_cast<double>(sums[d]) / static_cast<double>(points.size());
    return s;
}

bool hasLimits(const ChartOptions& options) {
    return std::any_of(std::begin(options.limits), std::end(options.limits),
                       [](const auto& limit) { return limit.has_value(); });
}

void appendTitle(PanelText& text, const ChartFile& file, const PanelFigures& s,
                 const ChartOptions& options) {
    const FileSummaryFigures& summary = file.summary;
    std::string rest = ": " + compactNumber(summary.transitions) + " transitions, " +
                       compactNumber(summary.blockErrors) + " block errors, " +
                       compactNumber(summary.lines) + " lines";
    if (hasLimits(options))
        rest += ", " + compactNumber(s.breaches) + (s.breaches == 1 ? " breach" : " breaches");
    const auto room = static_cast<std::size_t>((kChartWidth - 2 * kMargin) / (kTitleWidthEm * 15));
    const std::size_t nameRoom = room > rest.size() ? room - rest.size() : 0;
    const std::string name = elideMiddle(file.name, std::max<std::size_t>(20, nameRoom));
    text.put(kMargin, 20, 15, Anchor::Start, name + rest, " font-weight=\"bold\"");
}

void appendSubtitle(PanelText& text, const PanelFigures& s) {
    std::string line = "delays in frames (1 frame = 2 fields), min/max/avg:";
    for (int d = 0; d < kDelayCount; ++d)
        line += std::string(d == 0 ? " " : "; ") + kNames[d] + " " + framesText(s.min[d]) + "/" +
                framesText(s.max[d]) + "/" + compactDecimal(s.averages[d] / 2);
    text.put(kMargin, 38, kFont, Anchor::Start, line);
}

std::vector<LegendItem> legendItems(const std::vector<Column>& columns, const PanelFigures& s,
                                    bool ticked, const ChartOptions& options) {
    std::vector<LegendItem> items;
    for (int d = 0; d < kDelayCount; ++d)
        items.push_back({Glyph::Delay, d, kNames[d]});
    if (std::any_of(columns.begin(), columns.end(), [](const Column& c) { return c.count > 1; }))
        items.push_back({Glyph::Summary, 0, "per column: median, 5-95 % band, min-max"});
    items.push_back({Glyph::Average, 0, "average"});
    if (hasLimits(options)) {
        items.push_back({Glyph::Limit, 0, "limit"});
        items.push_back({Glyph::Breach, 0, "column with a breach"});
    }
    if (ticked && s.reported > 0)
        items.push_back({Glyph::Reported, 0, "reported group"});
    if (s.above + s.below > 0)
        items.push_back({Glyph::Beyond, 0, "beyond the axis"});
    return items;
}

// Which columns end a segment of the clock: lines and bands stop there.
std::vector<bool> setBackColumns(const ChartFile& file, const PlotFrame& f) {
    std::vector<bool> breakAfter(static_cast<std::size_t>(f.scales.buckets()), false);
    for (std::size_t k = 1; k < file.segments.size(); ++k)
        breakAfter[static_cast<std::size_t>(f.scales.bucket(f.start, file.segments[k].first))] =
            true;
    return breakAfter;
}

std::string durationText(std::int64_t fields) {
    const double seconds = static_cast<double>(fields) / 60;
    if (seconds >= 3600 && fields % (3600 * 60) == 0)
        return compactNumber(fields / (3600 * 60)) + " h";
    return seconds >= 60 ? compactDecimal(seconds / 60) + " min" : compactDecimal(seconds) + " s";
}

// For a textf argument; a temporary lives to the end of the call.
const char* cstr(const std::string& text) {
    return text.c_str();
}

// "3 a and 4 b", "3 a" or "4 b": the counts that are not zero.
std::string countsText(std::int64_t first, const std::string& firstWhat, std::int64_t second,
                       const std::string& secondWhat) {
    std::string text;
    if (first > 0)
        text = compactNumber(first) + ' ' + firstWhat;
    if (first > 0 && second > 0)
        text += " and ";
    if (second > 0)
        text += compactNumber(second) + ' ' + secondWhat;
    return text;
}

std::string columnsNote(const ChartFile& file, const PanelFigures& s, const ChartScales& sc) {
    return textf("%s group%s; %s drawn in %d columns of %s, a column of one group as a dot.",
                 cstr(compactNumber(file.groups)), file.groups == 1 ? "" : "s",
                 cstr(compactNumber(s.timed)), sc.buckets(),
                 cstr(durationText(sc.timeLength / sc.buckets())));
}

// What was left out of the plot or the histograms, and why.
std::string leftOutNote(const ChartFile& file, const PanelFigures& s, const ChartScales& sc) {
    std::string note;
    if (file.unsound > 0)
        note += textf(" %s with a delay from a misread timecode are left out (the text report's "
                      "figures include them).",
                      cstr(compactNumber(file.unsound)));
    if (file.misreadStart + file.outOfOrder > 0)
        note +=
            textf(" %s have no place in time; their delays are in the histograms.",
                  cstr(countsText(file.misreadStart, "with a misread opening timecode",
                                  file.outOfOrder, "with an opening time out of the log's order")));
    if (s.above + s.below > 0)
        note += textf(
            " %s are marked at the plot's edge and left out of the histograms.",
            cstr(countsText(s.above, "delays above " + compactDecimal(sc.frames.hi) + " fr",
                            s.below, "delays below " + compactDecimal(sc.frames.lo) + " fr")));
    return note;
}

std::string reportedNote(const PanelFigures& s, bool ticked) {
    if (s.reported == 0)
        return {};
    if (ticked)
        return " Reported groups (a negative Rev2Router or a new extreme) are ticked above the "
               "plot.";
    return textf(" %s reported groups (a negative Rev2Router or a new extreme), too many to tick.",
                 cstr(compactNumber(s.reported)));
}

std::string clockNote(const ChartFile& file) {
    const std::size_t setBacks = file.segments.empty() ? 0 : file.segments.size() - 1;
    if (setBacks == 0)
        return {};
    return textf(" The clock was set back %s; the time axis keeps the log's order.",
                 setBacks == 1 ? "once" : cstr(textf("%zu times", setBacks)));
}

std::string footnote(const ChartFile& file, const PanelFigures& s, bool ticked,
                     const PlotFrame& f) {
    return columnsNote(file, s, f.scales) + leftOutNote(file, s, f.scales) +
           reportedNote(s, ticked) + clockNote(file);
}

// The footnote, wrapped; returns the panel's height.
int appendFootnote(PanelText& text, const std::string& note, double y) {
    for (const std::string& line : wrapText(note, kChartWidth - 2 * kMargin, kSmallFont)) {
        text.put(kMargin, y, kSmallFont, Anchor::Start, line, " class=\"note\" fill=\"#555\"");
        y += kFootnoteLine;
    }
    return static_cast<int>(y);
}

int appendEmptyPanel(std::string& out, PanelText& text, const std::string& message) {
    appendPrintf(out,
                 "<rect x=\"%.0f\" y=\"34\" width=\"%d\" height=\"60\" fill=\"#f6f6f6\" "
                 "stroke=\"#888\"/>\n",
                 kPlotLeft, kPlotColumns);
    text.put(kPlotLeft + kPlotColumns / 2.0, 70, 16, Anchor::Middle, message, " fill=\"#555\"");
    return 108;
}

void appendPlot(std::string& out, PanelText& text, const ChartFile& file,
                std::span<const ChartPoint> points, const std::vector<Column>& columns,
                const PanelFigures& s, const PlotFrame& f, const ChartOptions& options) {
    appendValueAxis(out, text, f);
    appendTimeAxis(out, text, file, f);
    appendHistograms(out, text, points, f);
    const std::vector<bool> breakAfter = setBackColumns(file, f);
    appendSeries(out, columns, bandRuns(columns, breakAfter), f);
    appendAverages(out, s.averages, dataSpans(columns, breakAfter, f.scales.buckets() / 24), f);
    appendLimits(out, text, options, f);
    appendBeyondMarkers(out, columns, f);
    if (hasLimits(options))
        appendBreaches(out, columns, f);
    appendTimeMarks(out, text, file, f);
    if (s.above > 0)
        text.put(kPlotRight + 6, f.top + 9, kSmallFont, Anchor::Start,
                 compactNumber(s.above) + " above", " fill=\"#555\"");
    if (s.below > 0)
        text.put(kPlotRight + 6, f.bottom() - 2, kSmallFont, Anchor::Start,
                 compactNumber(s.below) + " below", " fill=\"#555\"");
}

} // namespace

int appendPanel(std::string& out, const ChartFile& file, std::span<const ChartPoint> points,
                const ChartScales& scales, const ChartOptions& options) {
    PanelText text(out);
    PlotFrame frame{scales, scales.start(file), 0};
    const PanelFigures s = panelFigures(points, frame, options);
    appendTitle(text, file, s, options);
    if (file.groups == 0)
        return appendEmptyPanel(out, text, "no completed transitions");
    if (points.empty())
        return appendEmptyPanel(out, text,
                                compactNumber(file.unsound) +
                                    " groups, each with a delay from a misread timecode");
    const std::vector<Column> columns = makeColumns(points, scales, frame.start, options);
    const bool ticked = fewEnoughToTick(columns);
    appendSubtitle(text, s);
    frame.top = appendLegend(out, text, legendItems(columns, s, ticked, options), 58) + 36;
    appendPlot(out, text, file, points, columns, s, frame, options);
    if (ticked)
        appendReported(out, columns, frame);
    return appendFootnote(text, footnote(file, s, ticked, frame), frame.bottom() + 56) - 2;
}

} // namespace qv
