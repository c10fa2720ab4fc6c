#include "sinks/chart_series.h"

#include "sinks/chart_format.h"
#include "sinks/chart_path.h"

#include <algorithm>
#include <cmath>

namespace qv {

namespace {

constexpr int kMaxTickColumns = kPlotColumns / 4; // fewer than one tick per 4 pixels
constexpr int kMaxRingColumns = 120;
constexpr double kMinBoxWidth = 3; // a lone column's band
constexpr double kMedianTick = 5;  // a lone column's median

// Left and right edge of a run, a lone column widened to stay visible.
std::pair<double, double> runEdges(const ColumnRun& run, const PlotFrame& f) {
    double left = f.columnLeft(run.first), right = f.columnLeft(run.last + 1);
    if (right - left < kMinBoxWidth) {
        const double centre = (left + right) / 2;
        left = centre - kMinBoxWidth / 2, right = centre + kMinBoxWidth / 2;
    }
    return {left, right};
}

// Whiskers from the band's edges out to the smallest and the largest delay,
// so that the band keeps one tint.
void appendWhiskers(std::string& out, const std::vector<Column>& columns, int d,
                    const PlotFrame& f) {
    appendPrintf(out, "<path class=\"whiskers\" stroke=\"%s\" stroke-opacity=\"0.5\" d=\"",
                 kColours[d]);
    Path path(out);
    const auto whisker = [&path, &f](double x, std::int32_t from, std::int32_t to) {
        const double a = f.yClamped(from), b = f.yClamped(to);
        if (std::fabs(b - a) < 0.05)
            return;
        path.moveTo(x, a);
        path.verticalTo(b);
    };
    for (std::size_t c = 0; c < columns.size(); ++c) {
        if (columns[c].count < 2)
            continue;
        const ColumnDelay& v = columns[c].delays[d];
        const double x = f.columnCentre(static_cast<int>(c));
        whisker(x, v.p95, v.max);
        whisker(x, v.p5, v.min);
    }
    out += "\"/>\n";
}

// A step outline along the 95th percentiles and back along the 5th.
void appendBand(Path& path, const std::vector<Column>& columns, const ColumnRun& run, int d,
                const PlotFrame& f) {
    const auto [left, right] = runEdges(run, f);
    const auto at = [&columns, d](int c) { return columns[static_cast<std::size_t>(c)].delays[d]; };
    path.moveTo(left, f.yClamped(at(run.first).p95));
    for (int c = run.first; c < run.last; ++c) {
        path.horizontalTo(f.columnLeft(c + 1));
        path.verticalTo(f.yClamped(at(c + 1).p95));
    }
    path.horizontalTo(right);
    path.verticalTo(f.yClamped(at(run.last).p5));
    for (int c = run.last; c > run.first; --c) {
        path.horizontalTo(f.columnLeft(c));
        path.verticalTo(f.yClamped(at(c - 1).p5));
    }
    path.horizontalTo(left);
    path.close();
}

void appendMedian(Path& path, const std::vector<Column>& columns, const ColumnRun& run, int d,
                  const PlotFrame& f) {
    const auto median = [&columns, d](int c) {
        return columns[static_cast<std::size_t>(c)].delays[d].median;
    };
    double left = f.columnLeft(run.first), right = f.columnLeft(run.last + 1);
    if (run.first == run.last)
        left = f.columnCentre(run.first) - kMedianTick / 2, right = left + kMedianTick;
    path.moveTo(left, f.yClamped(median(run.first)));
    for (int c = run.first; c < run.last; ++c) {
        path.horizontalTo(f.columnLeft(c + 1));
        path.verticalTo(f.yClamped(median(c + 1)));
    }
    path.horizontalTo(right);
}

void appendDots(std::string& out, const std::vector<Column>& columns, int d, const PlotFrame& f) {
    appendPrintf(out,
                 "<path class=\"dots\" stroke=\"%s\" stroke-width=\"5\" stroke-linecap=\"round\" "
                 "stroke-opacity=\"0.85\" d=\"",
                 kColours[d]);
    Path path(out);
    for (std::size_t c = 0; c < columns.size(); ++c) {
        const std::int32_t value = columns[c].delays[d].min;
        if (columns[c].count != 1 || f.above(value) || f.below(value))
            continue;
        path.moveTo(f.columnCentre(static_cast<int>(c)), f.y(value));
        out += "h0";
    }
    out += "\"/>\n";
}

} // namespace

std::vector<ColumnRun> bandRuns(const std::vector<Column>& columns,
                                const std::vector<bool>& breakAfter) {
    std::vector<ColumnRun> runs;
    for (int c = 0; c < static_cast<int>(columns.size()); ++c) {
        const auto at = static_cast<std::size_t>(c);
        if (columns[at].count < 2)
            continue;
        if (!runs.empty() && runs.back().last == c - 1 && !breakAfter[at - 1])
            runs.back().last = c;
        else
            runs.push_back({c, c});
    }
    return runs;
}

std::vector<ColumnRun> dataSpans(const std::vector<Column>& columns,
                                 const std::vector<bool>& breakAfter, int maxGap) {
    std::vector<ColumnRun> spans;
    bool setBack = false; // since the last occupied column
    for (int c = 0; c < static_cast<int>(columns.size()); ++c) {
        const auto at = static_cast<std::size_t>(c);
        if (columns[at].count > 0) {
            if (!spans.empty() && !setBack && c - spans.back().last <= maxGap + 1)
                spans.back().last = c;
            else
                spans.push_back({c, c});
            setBack = false;
        }
        setBack = setBack || breakAfter[at];
    }
    return spans;
}

void appendSeries(std::string& out, const std::vector<Column>& columns,
                  const std::vector<ColumnRun>& runs, const PlotFrame& f) {
    for (int d = 0; d < kDelayCount; ++d)
        appendWhiskers(out, columns, d, f);
    for (int d = 0; d < kDelayCount; ++d) {
        appendPrintf(out, "<path class=\"bands\" fill=\"%s\" fill-opacity=\"0.3\" d=\"",
                     kColours[d]);
        Path path(out);
        for (const ColumnRun& run : runs)
            appendBand(path, columns, run, d, f);
        out += "\"/>\n";
    }
    for (int d = 0; d < kDelayCount; ++d) {
        appendPrintf(
            out, "<path class=\"medians\" fill=\"none\" stroke=\"%s\" stroke-width=\"1.5\" d=\"",
            kColours[d]);
        Path path(out);
        for (const ColumnRun& run : runs)
            appendMedian(path, columns, run, d, f);
        out += "\"/>\n";
    }
    for (int d = 0; d < kDelayCount; ++d)
        appendDots(out, columns, d, f);
}

void appendBeyondMarkers(std::string& out, const std::vector<Column>& columns, const PlotFrame& f) {
    for (int d = 0; d < kDelayCount; ++d) {
        std::string marks;
        Path path(marks);
        for (std::size_t c = 0; c < columns.size(); ++c) {
            const Column& column = columns[c];
            const double x = f.columnCentre(static_cast<int>(c));
            if (column.count > 0 && f.above(column.delays[d].max)) {
                path.moveTo(x, f.top);
                path.shape("l-3.5 6h7z");
            }
            if (column.count > 0 && f.below(column.delays[d].min)) {
                path.moveTo(x, f.bottom());
                path.shape("l-3.5 -6h7z");
            }
        }
        if (!marks.empty())
            appendPrintf(out,
                         "<path class=\"beyond\" fill=\"%s\" stroke=\"#fff\" stroke-width=\"0.5\" "
                         "d=\"%s\"/>\n",
                         kColours[d], marks.c_str());
    }
}

void appendAverages(std::string& out, const double (&averages)[kDelayCount],
                    const std::vector<ColumnRun>& spans, const PlotFrame& f) {
    for (int d = 0; d < kDelayCount; ++d) {
        const double y = f.y(averages[d]);
        if (y < f.top || y > f.bottom())
            continue;
        appendPrintf(out,
                     "<path class=\"averages\" stroke=\"%s\" stroke-width=\"2\" "
                     "stroke-dasharray=\"2 3\" d=\"",
                     kColours[d]);
        Path path(out);
        for (const ColumnRun& span : spans) {
            path.moveTo(f.columnLeft(span.first), y);
            path.horizontalTo(f.columnLeft(span.last + 1));
        }
        out += "\"/>\n";
    }
}

namespace {

std::string limitLabel(int d, std::int64_t fields) {
    std::string name = kNames[d];
    std::transform(name.begin(), name.end(), name.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; });
    return "limit " + name + " " + framesText(fields) + " fr";
}

// Right-aligned above its line, else below it, else further left.
void placeLimitLabel(PanelText& text, const std::string& label, double y, int d) {
    const std::string colour = textf(" class=\"limit-label\" fill=\"%s\"", kColours[d]);
    for (double x = kPlotRight - 4; x - textWidth(label, kSmallFont) >= kPlotLeft; x -= 60)
        for (double baseline : {y - 4, y + 12})
            if (text.tryPut(x, baseline, kSmallFont, Anchor::End, label, colour, true))
                return;
}

} // namespace

void appendLimits(std::string& out, PanelText& text, const ChartOptions& options,
                  const PlotFrame& f) {
    for (int d = 0; d < kDelayCount; ++d) {
        if (!options.limits[d])
            continue;
        const double y = f.y(static_cast<double>(*options.limits[d]));
        appendPrintf(
            out,
            "<path class=\"limit\" d=\"M%.0f %.1fH%.0f\" stroke=\"%s\" stroke-width=\"1.5\" "
            "stroke-dasharray=\"8 4\"/>\n",
            kPlotLeft, y, kPlotRight, kColours[d]);
        placeLimitLabel(text, limitLabel(d, *options.limits[d]), y, d);
    }
}

void appendBreaches(std::string& out, const std::vector<Column>& columns, const PlotFrame& f) {
    out += "<path class=\"breaches\" fill=\"#b2182b\" d=\"";
    Path path(out);
    for (std::size_t c = 0; c < columns.size(); ++c) {
        if (!columns[c].breach)
            continue;
        path.moveTo(f.columnCentre(static_cast<int>(c)), f.top - 10);
        path.shape("l4 4 -4 4 -4 -4z");
    }
    out += "\"/>\n";
}

namespace {

void appendRing(std::string& out, double x, double y) {
    out += "<circle cx=\"";
    appendDecimal(out, x);
    out += "\" cy=\"";
    appendDecimal(out, y);
    out += "\" r=\"5\"/>";
}

// Rings around the smallest and the largest delay of the reported groups.
void appendRings(std::string& out, const std::vector<Column>& columns, const PlotFrame& f) {
    out += "<g class=\"rings\" fill=\"none\" stroke=\"#000\" stroke-width=\"1.6\">";
    for (std::size_t c = 0; c < columns.size(); ++c) {
        if (columns[c].reported == 0)
            continue;
        const double x = f.columnCentre(static_cast<int>(c));
        for (int d = 0; d < kDelayCount; ++d) {
            const std::int32_t low = columns[c].reportedLow[d], high = columns[c].reportedHigh[d];
            if (!f.above(high) && !f.below(high))
                appendRing(out, x, f.y(high));
            if (low != high && !f.above(low) && !f.below(low))
                appendRing(out, x, f.y(low));
        }
    }
    out += "</g>\n";
}

} // namespace

namespace {

std::ptrdiff_t reportedColumns(const std::vector<Column>& columns) {
    return std::count_if(columns.begin(), columns.end(),
                         [](const Column& c) { return c.reported > 0; });
}

} // namespace

bool fewEnoughToTick(const std::vector<Column>& columns) {
    return reportedColumns(columns) < kMaxTickColumns;
}

void appendReported(std::string& out, const std::vector<Column>& columns, const PlotFrame& f) {
    out += "<path class=\"reported\" stroke=\"#000\" d=\"";
    Path path(out);
    for (std::size_t c = 0; c < columns.size(); ++c) {
        if (columns[c].reported == 0)
            continue;
        path.moveTo(f.columnCentre(static_cast<int>(c)), f.top - 22);
        path.verticalTo(f.top - 14);
    }
    out += "\"/>\n";
    if (reportedColumns(columns) <= kMaxRingColumns)
        appendRings(out, columns, f);
}

} // namespace qv
