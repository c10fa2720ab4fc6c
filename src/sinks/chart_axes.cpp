#include "sinks/chart_axes.h"

#include "sinks/chart_format.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace qv {

namespace {

constexpr const char* kGrey = " fill=\"#555\"";

std::int64_t floorDiv(std::int64_t value, std::int64_t step) {
    return floorTo(value, step) / step;
}

// One stretch of the axis with one clock: axis places [from, to].
struct ClockSpan {
    std::int64_t from, to, shift;
};

std::vector<ClockSpan> clockSpans(const ChartFile& file, const PlotFrame& f) {
    std::vector<ClockSpan> spans;
    const std::int64_t end = f.start + f.scales.timeLength;
    for (std::size_t k = 0; k < file.segments.size(); ++k) {
        const std::int64_t from = k == 0 ? f.start : file.segments[k].first;
        const std::int64_t to = k + 1 < file.segments.size() ? file.segments[k + 1].first : end;
        spans.push_back({from, to, file.segments[k].shift});
    }
    return spans;
}

std::string clockLabel(std::int64_t clock, bool seconds) {
    return timeLabel(clock - floorTo(clock, kFieldsPerDay), seconds);
}

} // namespace

void appendValueAxis(std::string& out, PanelText& text, const PlotFrame& f) {
    const ValueAxis& a = f.scales.frames;
    for (double v = a.lo; v <= a.hi + a.step / 2; v += a.step) {
        const bool zero = std::fabs(v) < a.step / 2;
        const double y = f.y(v * 2);
        appendPrintf(out, "<path d=\"M%.0f %.1fH%.0f\" stroke=\"%s\"/>\n", kPlotLeft, y, kHistRight,
                     zero ? "#888" : "#e4e4e4");
        text.put(kPlotLeft - 6, y + 4, kFont, Anchor::End, compactDecimal(zero ? 0.0 : v),
                 " class=\"delay-tick\"");
    }
    text.put(kPlotLeft - 6, f.top - 12, kSmallFont, Anchor::End, "frames", kGrey);
}

void appendTimeAxis(std::string& out, PanelText& text, const ChartFile& file, const PlotFrame& f) {
    // Ticks fall on the panel's first hour and whole steps from it, so that
    // panels sharing a length share their ticks too.
    const std::int64_t step = f.scales.timeStep;
    for (const ClockSpan& span : clockSpans(file, f)) {
        const std::int64_t first = span.from - span.shift, last = span.to - span.shift;
        for (std::int64_t clock = f.start - floorTo(f.start - first, step); clock <= last;
             clock += step) {
            const double x = f.x(clock + span.shift);
            appendPrintf(out, "<path d=\"M%.1f %.0fV%.0f\" stroke=\"#e4e4e4\"/>\n", x, f.top,
                         f.bottom() + 4);
            text.tryPut(x, f.bottom() + 18, kFont, Anchor::Middle,
                        clockLabel(clock, f.scales.seconds), " class=\"time-tick\"");
        }
    }
    text.put(kPlotLeft, f.bottom() + 36, kFont, Anchor::Start,
             f.scales.seconds ? "time of the opening line, in log order (hh:mm:ss)"
                              : "time of the opening line, in log order (hh:mm)");
    appendPrintf(out,
                 "<rect x=\"%.0f\" y=\"%.0f\" width=\"%d\" height=\"%.0f\" fill=\"none\" "
                 "stroke=\"#888\"/>\n",
                 kPlotLeft, f.top, kPlotColumns, kPlotHeight);
}

namespace {

// A line across the plot and its label in the first free row at its top.
void appendMark(std::string& out, PanelText& text, const PlotFrame& f, double x, const char* kind,
                const std::string& label) {
    const bool day = std::string_view(kind) == "day-change";
    appendPrintf(
        out, "<path class=\"%s\" d=\"M%.1f %.0fV%.0f\" stroke=\"#333\" stroke-width=\"1.5\"%s/>\n",
        kind, x, f.top, f.bottom(), day ? " stroke-dasharray=\"4 3\"" : "");
    const bool right = x + 3 + textWidth(label, kSmallFont) <= kPlotRight;
    for (int row = 1; row <= 4; ++row)
        if (text.tryPut(right ? x + 3 : x - 3, f.top + 12.0 * row, kSmallFont,
                        right ? Anchor::Start : Anchor::End, label, " class=\"mark\" fill=\"#333\"",
                        true))
            return;
}

} // namespace

void appendTimeMarks(std::string& out, PanelText& text, const ChartFile& file, const PlotFrame& f) {
    const std::vector<ClockSpan> spans = clockSpans(file, f);
    for (std::size_t k = 0; k < spans.size(); ++k) {
        const std::int64_t from = spans[k].from - spans[k].shift;
        const std::int64_t to = spans[k].to - spans[k].shift;
        if (k > 0)
            appendMark(out, text, f, f.x(spans[k].from), "set-back",
                       "clock set back to " + clockLabel(from, f.scales.seconds));
        for (std::int64_t day = floorDiv(from, kFieldsPerDay) + 1; day * kFieldsPerDay < to; ++day)
            appendMark(out, text, f, f.x(day * kFieldsPerDay + spans[k].shift), "day-change",
                       textf("day %lld", static_cast<long long>(day + 1)));
    }
}

} // namespace qv
