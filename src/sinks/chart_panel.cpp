#include "sinks/chart_panel.h"

#include "sinks/chart_format.h"

#include <algorithm>
#include <cmath>

namespace qv {

namespace {

// Colour-blind-safe hues, one per delay.
constexpr const char* kColours[kDelayCount] = {"#0072b2", "#e69f00", "#009e73"};
constexpr const char* kNames[kDelayCount] = {"Rev2Router", "RtrCmd2Status", "RtrCmd2MX"};

constexpr double kPlotLeft = 80;
constexpr double kPlotTop = 78;
constexpr double kPlotHeight = 260;
constexpr double kPlotRight = kPlotLeft + kPlotColumns;
constexpr double kPlotBottom = kPlotTop + kPlotHeight;
constexpr double kHistLeft = 830;
constexpr double kHistWidth = 105;
constexpr double kHistGap = 12;
constexpr double kHistRight = kHistLeft + 3 * kHistWidth + 2 * kHistGap;
constexpr int kMaxBins = 40;
constexpr std::size_t kMaxRingColumns = 120;

// The scales that the series, the histograms and the axes share.
struct Frame {
    TimeAxis time;
    ValueAxis frames; // the value axis is in frames, the data in fields

    int column(std::int32_t fields) const {
        const double at = double(fields - time.lo) / double(time.hi - time.lo) * kPlotColumns;
        return std::clamp(static_cast<int>(at), 0, kPlotColumns - 1);
    }
    double y(double fields) const {
        return kPlotBottom - (fields / 2 - frames.lo) / (frames.hi - frames.lo) * kPlotHeight;
    }
};

Frame makeFrame(const std::vector<ChartPoint>& points) {
    std::int32_t first = points.front().time, last = first;
    std::int32_t low = 0, high = 0; // zero always shows
    for (const ChartPoint& p : points) {
        first = std::min(first, p.time);
        last = std::max(last, p.time);
        for (std::int32_t delay : p.delays) {
            low = std::min(low, delay);
            high = std::max(high, delay);
        }
    }
    // A little headroom keeps the extreme dots off the frame; zero may stay
    // the bottom edge.
    const double pad = std::max(0.5, (high - low) / 2.0 * 0.04);
    return {timeAxis(first, last),
            valueAxis(low < 0 ? low / 2.0 - pad : 0.0, high / 2.0 + pad, 1, 6)};
}

// The groups of one pixel column: per delay the range of all of them and
// the range of the reported ones.
struct Column {
    std::int32_t count = 0;
    std::int32_t reported = 0;
    std::int32_t lo[kDelayCount], hi[kDelayCount];
    std::int32_t reportedLo[kDelayCount], reportedHi[kDelayCount];
};

void widen(std::int32_t& lo, std::int32_t& hi, std::int32_t value, bool first) {
    lo = first ? value : std::min(lo, value);
    hi = first ? value : std::max(hi, value);
}

std::vector<Column> bucket(const std::vector<ChartPoint>& points, const Frame& frame) {
    std::vector<Column> columns(kPlotColumns);
    for (const ChartPoint& p : points) {
        Column& c = columns[static_cast<std::size_t>(frame.column(p.time))];
        for (int d = 0; d < kDelayCount; ++d) {
            widen(c.lo[d], c.hi[d], p.delays[d], c.count == 0);
            if (p.reported)
                widen(c.reportedLo[d], c.reportedHi[d], p.delays[d], c.reported == 0);
        }
        ++c.count;
        c.reported += p.reported ? 1 : 0;
    }
    return columns;
}

void appendText(std::string& out, double x, double y, const char* attributes,
                std::string_view text) {
    appendFormat(out, "<text x=\"%.1f\" y=\"%.1f\"%s>", x, y, attributes);
    appendXmlText(out, text);
    out += "</text>\n";
}

std::string delayFigures(const FileSummaryFigures::Delay& d) {
    return textf("%lld/%lld/%lld", static_cast<long long>(d.min), static_cast<long long>(d.max),
                 static_cast<long long>(d.avg));
}

void appendTitle(std::string& out, std::string_view fileName, const FileSummaryFigures& s) {
    std::string line(fileName);
    line += textf(": %lld transitions, %lld block errors, %lld lines",
                  static_cast<long long>(s.transitions), static_cast<long long>(s.blockErrors),
                  static_cast<long long>(s.lines));
    appendText(out, 10, 22, " font-size=\"15\" font-weight=\"bold\"", line);
    if (s.transitions == 0)
        return;
    line = "min/max/avg in fields:";
    for (int d = 0; d < kDelayCount; ++d)
        line += std::string("   ") + kNames[d] + " " + delayFigures(s.delays[d]);
    appendText(out, 10, 42, "", line);
}

std::string framesText(double fields) {
    std::string text;
    appendDecimal(text, fields / 2);
    return text;
}

void appendLegend(std::string& out, const FileSummaryFigures& s) {
    for (int d = 0; d < kDelayCount; ++d) {
        const double x = kPlotLeft + 200 * d;
        appendFormat(out, "<circle cx=\"%.0f\" cy=\"58\" r=\"5\" fill=\"%s\"/>\n", x, kColours[d]);
        appendText(out, x + 10, 62, "",
                   std::string(kNames[d]) + ", avg " + framesText(double(s.delays[d].avg)) + " fr");
    }
    out +=
        "<path d=\"M680 58h24\" stroke=\"#555\" stroke-width=\"1.5\" stroke-dasharray=\"5 3\"/>\n";
    appendText(out, 710, 62, "", "average");
    out += "<circle cx=\"790\" cy=\"58\" r=\"5\" fill=\"none\" stroke=\"#000\" "
           "stroke-width=\"1.6\"/>\n";
    appendText(out, 800, 62, "", "reported group");
}

void appendValueGrid(std::string& out, const Frame& f) {
    const ValueAxis& a = f.frames;
    for (double v = a.lo; v <= a.hi + a.step / 2; v += a.step) {
        const double y = f.y(v * 2);
        const char* colour = std::fabs(v) < a.step / 2 ? "#888" : "#e4e4e4";
        appendFormat(out, "<path d=\"M%.0f %.1fH%.0f\" stroke=\"%s\"/>\n", kPlotLeft, y, kHistRight,
                     colour);
        std::string label;
        appendDecimal(label, std::fabs(v) < a.step / 2 ? 0.0 : v);
        appendText(out, kPlotLeft - 6, y + 4, " text-anchor=\"end\"", label);
    }
    appendFormat(out,
                 "<text transform=\"translate(28 %.0f) rotate(-90)\" "
                 "text-anchor=\"middle\">delay (frames, 1 frame = 2 fields)</text>\n",
                 kPlotTop + kPlotHeight / 2);
}

void appendTimeGrid(std::string& out, const Frame& f) {
    const TimeAxis& t = f.time;
    for (std::int64_t at = t.lo; at <= t.hi; at += t.step) {
        const double x = kPlotLeft + double(at - t.lo) / double(t.hi - t.lo) * kPlotColumns;
        appendFormat(out, "<path d=\"M%.1f %.0fV%.0f\" stroke=\"#e4e4e4\"/>\n", x, kPlotTop,
                     kPlotBottom + 4);
        appendText(out, x, kPlotBottom + 16, " text-anchor=\"middle\"", timeLabel(at, t.seconds));
    }
    appendText(out, kPlotLeft, kPlotBottom + 34, "",
               t.seconds ? "time of day of the opening line (hh:mm:ss)"
                         : "time of day of the opening line (hh:mm)");
    appendFormat(out,
                 "<rect x=\"%.0f\" y=\"%.0f\" width=\"%d\" height=\"%.0f\" fill=\"none\" "
                 "stroke=\"#888\"/>\n",
                 kPlotLeft, kPlotTop, kPlotColumns, kPlotHeight);
}

// Each column is a bar from the smallest to the largest delay of its
// groups, or a dot when they are all equal.
void appendSeries(std::string& out, const std::vector<Column>& columns, const Frame& f) {
    for (int d = 0; d < kDelayCount; ++d) {
        appendFormat(out,
                     "<path fill=\"none\" stroke=\"%s\" stroke-width=\"4\" "
                     "stroke-linecap=\"round\" stroke-opacity=\"0.8\" d=\"",
                     kColours[d]);
        for (std::size_t c = 0; c < columns.size(); ++c) {
            if (columns[c].count == 0)
                continue;
            out += 'M';
            appendDecimal(out, kPlotLeft + double(c) + 0.5);
            out += ' ';
            appendDecimal(out, f.y(columns[c].hi[d]));
            if (columns[c].lo[d] == columns[c].hi[d]) {
                out += "h0";
                continue;
            }
            out += 'V';
            appendDecimal(out, f.y(columns[c].lo[d]));
        }
        out += "\"/>\n";
    }
}

void appendRing(std::string& out, std::size_t column, double y) {
    out += "<circle cx=\"";
    appendDecimal(out, kPlotLeft + double(column) + 0.5);
    out += "\" cy=\"";
    appendDecimal(out, y);
    out += "\" r=\"5\"/>";
}

std::size_t reportedColumns(const std::vector<Column>& columns) {
    return static_cast<std::size_t>(std::count_if(columns.begin(), columns.end(),
                                                  [](const Column& c) { return c.reported > 0; }));
}

// A tick above the plot for every column with reported groups and, while
// they are few enough to stay legible, rings around the smallest and the
// largest delay of those groups.
void appendReported(std::string& out, const std::vector<Column>& columns, const Frame& f) {
    out += "<path stroke=\"#000\" d=\"";
    for (std::size_t c = 0; c < columns.size(); ++c) {
        if (columns[c].reported == 0)
            continue;
        out += 'M';
        appendDecimal(out, kPlotLeft + double(c) + 0.5);
        out += " 69v8";
    }
    out += "\"/>\n";
    if (reportedColumns(columns) > kMaxRingColumns)
        return;
    out += "<g fill=\"none\" stroke=\"#000\" stroke-width=\"1.6\">";
    for (std::size_t c = 0; c < columns.size(); ++c) {
        if (columns[c].reported == 0)
            continue;
        for (int d = 0; d < kDelayCount; ++d) {
            appendRing(out, c, f.y(columns[c].reportedHi[d]));
            if (columns[c].reportedLo[d] != columns[c].reportedHi[d])
                appendRing(out, c, f.y(columns[c].reportedLo[d]));
        }
    }
    out += "</g>\n";
}

void appendAverages(std::string& out, const FileSummaryFigures& s, const Frame& f) {
    for (int d = 0; d < kDelayCount; ++d)
        appendFormat(out,
                     "<path d=\"M%.0f %.1fH%.0f\" stroke=\"%s\" stroke-width=\"1.5\" "
                     "stroke-dasharray=\"6 4\"/>\n",
                     kPlotLeft, f.y(double(s.delays[d].avg)), kPlotRight, kColours[d]);
}

// Bins of whole frames centred on multiples of their width from the axis
// bottom, at most about kMaxBins of them: every timecode is a whole number of
// frames, so finer bins would only comb.
struct Bins {
    std::int64_t low;   // centre of bin 0, fields
    std::int64_t width; // fields
    int count;

    int of(std::int32_t fields) const {
        const std::int64_t bin = (fields - low + width / 2) / width;
        return static_cast<int>(std::clamp<std::int64_t>(bin, 0, count - 1));
    }
    double edge(int bin, int side) const { // side -1 lower, +1 upper, fields
        return double(low + bin * width) + side * double(width) / 2.0;
    }
};

Bins makeBins(const Frame& f) {
    const auto low = static_cast<std::int64_t>(std::llround(f.frames.lo * 2));
    const auto span = static_cast<std::int64_t>(std::llround(f.frames.hi * 2)) - low;
    const std::int64_t frames = (span / 2 + kMaxBins - 1) / kMaxBins;
    const std::int64_t width = 2 * std::max<std::int64_t>(1, frames);
    return {low, width, static_cast<int>(span / width) + 1};
}

// One horizontal histogram beside the plot, on the plot's y axis.
void appendHistogram(std::string& out, const std::int32_t* counts, int d, const Bins& bins,
                     const Frame& f) {
    const std::int32_t peak = *std::max_element(counts, counts + bins.count);
    const double left = kHistLeft + d * (kHistWidth + kHistGap);
    appendFormat(out, "<path fill=\"%s\" fill-opacity=\"0.85\" d=\"", kColours[d]);
    for (int b = 0; b < bins.count; ++b) {
        if (counts[b] == 0)
            continue;
        const double top = std::max(kPlotTop, f.y(bins.edge(b, 1)));
        const double bottom = std::min(kPlotBottom, f.y(bins.edge(b, -1)));
        appendFormat(out, "M%.0f %.1fh%.1fV%.1fH%.0fz", left, top,
                     std::max(0.5, kHistWidth * counts[b] / peak), bottom, left);
    }
    out += "\"/>\n";
    appendFormat(out, "<path d=\"M%.0f %.0fV%.0f\" stroke=\"#888\"/>\n", left, kPlotTop,
                 kPlotBottom);
    appendText(out, left, kPlotBottom + 16, textf(" fill=\"%s\"", kColours[d]).c_str(), kNames[d]);
    appendText(out, left, kPlotBottom + 32, "",
               textf("peak %lld per bin", static_cast<long long>(peak)));
}

void appendHistograms(std::string& out, const std::vector<ChartPoint>& points, const Frame& f) {
    const Bins bins = makeBins(f);
    const auto rowSize = static_cast<std::size_t>(bins.count);
    std::vector<std::int32_t> counts(rowSize * kDelayCount);
    for (const ChartPoint& p : points)
        for (int d = 0; d < kDelayCount; ++d)
            ++counts[static_cast<std::size_t>(d) * rowSize +
                     static_cast<std::size_t>(bins.of(p.delays[d]))];
    for (int d = 0; d < kDelayCount; ++d)
        appendHistogram(out, counts.data() + static_cast<std::size_t>(d) * rowSize, d, bins, f);
    appendText(out, kHistLeft, kPlotTop - 5, " font-size=\"11\" fill=\"#555\"",
               textf("histograms, bins of %lld frame%s", static_cast<long long>(bins.width / 2),
                     bins.width == 2 ? "" : "s"));
}

void appendNotes(std::string& out, std::size_t groups, const std::vector<Column>& columns) {
    const bool merged =
        std::any_of(columns.begin(), columns.end(), [](const Column& c) { return c.count > 1; });
    std::string note =
        merged ? textf("%zu groups in %d pixel columns: each column shows the smallest to the "
                       "largest delay of its groups.",
                       groups, kPlotColumns)
        : groups == 1 ? std::string("1 group, drawn as a dot.")
                      : textf("%zu groups, each drawn as a dot.", groups);
    if (reportedColumns(columns) > kMaxRingColumns)
        note += " Reported groups (negative Rev2Router or a new extreme): too many to ring, see "
                "the ticks above the plot.";
    else
        note += " Reported groups (negative Rev2Router or a new extreme) are ringed and ticked "
                "above the plot.";
    appendText(out, kPlotLeft, kPlotBottom + 52, " font-size=\"11\" fill=\"#555\"", note);
}

} // namespace

void appendPanel(std::string& out, std::string_view fileName, const FileSummaryFigures& summary,
                 const std::vector<ChartPoint>& points) {
    appendTitle(out, fileName, summary);
    if (points.empty()) {
        appendFormat(out,
                     "<rect x=\"%.0f\" y=\"%.0f\" width=\"%d\" height=\"%.0f\" fill=\"#f6f6f6\" "
                     "stroke=\"#888\"/>\n",
                     kPlotLeft, kPlotTop, kPlotColumns, kPlotHeight);
        appendText(out, kPlotLeft + kPlotColumns / 2.0, kPlotTop + kPlotHeight / 2,
                   " text-anchor=\"middle\" font-size=\"16\" fill=\"#555\"",
                   "no completed transitions");
        return;
    }
    const Frame frame = makeFrame(points);
    const std::vector<Column> columns = bucket(points, frame);
    appendLegend(out, summary);
    appendValueGrid(out, frame);
    appendTimeGrid(out, frame);
    appendHistograms(out, points, frame);
    appendSeries(out, columns, frame);
    appendAverages(out, summary, frame); // over the dots, to stay visible
    appendReported(out, columns, frame);
    appendNotes(out, points.size(), columns);
}

} // namespace qv
