#include "sinks/chart_axes.h"

#include "sinks/chart_format.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace qv {

namespace {

constexpr int kMaxBins = 40;

// Bins of whole frames centred on multiples of their width from the axis
// bottom, at most about kMaxBins of them: every timecode is a whole number of
// frames, so finer bins would only comb. They follow from the shared delay
// axis alone, so every panel has the same.
struct Bins {
    std::int64_t low;   // centre of bin 0, fields
    std::int64_t width; // fields
    int count;

    int of(std::int32_t fields) const {
        const std::int64_t bin = (fields - low + width / 2) / width;
        return static_cast<int>(std::clamp<std::int64_t>(bin, 0, count - 1));
    }
    double edge(int bin, int side) const { // side -1 lower, +1 upper, fields
        return static_cast<double>(low + bin * width) + side * static_cast<double>(width) / 2.0;
    }
};

Bins makeBins(const ValueAxis& frames) {
    const auto low = static_cast<std::int64_t>(std::llround(frames.lo * 2));
    const auto span = static_cast<std::int64_t>(std::llround(frames.hi * 2)) - low;
    const std::int64_t perBin = (span / 2 + kMaxBins - 1) / kMaxBins;
    const std::int64_t width = 2 * std::max<std::int64_t>(1, perBin);
    return {low, width, static_cast<int>(span / width) + 1};
}

void appendHistogram(std::string& out, PanelText& text, const std::int32_t* counts, int d,
                     const Bins& bins, const PlotFrame& f) {
    const std::int32_t peak = std::max(1, *std::max_element(counts, counts + bins.count));
    const double left = kHistLeft + d * (kHistWidth + kHistGap);
    appendPrintf(out, "<path fill=\"%s\" fill-opacity=\"0.85\" d=\"", kColours[d]);
    for (int b = 0; b < bins.count; ++b) {
        if (counts[b] == 0)
            continue;
        const double top = f.yClamped(bins.edge(b, 1));
        const double bottom = f.yClamped(bins.edge(b, -1));
        appendPrintf(out, "M%.0f %.1fh%.1fV%.1fH%.0fz", left, top,
                     std::max(0.5, kHistWidth * counts[b] / peak), bottom, left);
    }
    out += "\"/>\n";
    appendPrintf(out, "<path d=\"M%.0f %.0fV%.0f\" stroke=\"#888\"/>\n", left, f.top, f.bottom());
    text.put(left, f.bottom() + 18, kSmallFont, Anchor::Start, kNames[d],
             textf(" fill=\"%s\"", kColours[d]));
    text.put(left, f.bottom() + 33, kSmallFont, Anchor::Start, "peak " + compactNumber(peak));
}

} // namespace

void appendHistograms(std::string& out, PanelText& text, std::span<const ChartPoint> points,
                      const PlotFrame& f) {
    const Bins bins = makeBins(f.scales.frames);
    const auto rowSize = static_cast<std::size_t>(bins.count);
    std::vector<std::int32_t> counts(rowSize * kDelayCount);
    for (const ChartPoint& p : points)
        for (int d = 0; d < kDelayCount; ++d)
            if (!f.above(p.delays[d]) && !f.below(p.delays[d]))
                ++counts[static_cast<std::size_t>(d) * rowSize +
                         static_cast<std::size_t>(bins.of(p.delays[d]))];
    for (int d = 0; d < kDelayCount; ++d)
        appendHistogram(out, text, counts.data() + static_cast<std::size_t>(d) * rowSize, d, bins,
                        f);
    text.put(kHistLeft, f.top - 6, kSmallFont, Anchor::Start,
             textf("histograms, bins of %lld frame%s", static_cast<long long>(bins.width / 2),
                   bins.width == 2 ? "" : "s"),
             " fill=\"#555\"");
}

} // namespace qv
