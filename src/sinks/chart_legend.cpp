#include "sinks/chart_legend.h"

#include "sinks/chart_format.h"

namespace qv {

namespace {

constexpr double kGlyphWidth = 18;
constexpr double kGlyphGap = 5;
constexpr double kItemGap = 20;
constexpr double kRowHeight = 18;

// A glyph in [x, x + kGlyphWidth], centred on the middle of the text at
// baseline y.
void appendGlyph(std::string& out, const LegendItem& item, double x, double y) {
    const double mid = y - 4;
    switch (item.glyph) {
    case Glyph::Delay:
    case Glyph::Summary: {
        const char* colour = item.glyph == Glyph::Delay ? kColours[item.delay] : "#666";
        appendPrintf(out,
                     "<path d=\"M%.1f %.1fv12\" stroke=\"%s\" stroke-opacity=\"0.5\"/>"
                     "<rect x=\"%.1f\" y=\"%.1f\" width=\"%.0f\" height=\"7\" fill=\"%s\" "
                     "fill-opacity=\"0.3\"/><path d=\"M%.1f %.1fh%.0f\" stroke=\"%s\" "
                     "stroke-width=\"1.5\"/>\n",
                     x + kGlyphWidth / 2, mid - 6, colour, x, mid - 3.5, kGlyphWidth, colour, x,
                     mid, kGlyphWidth, colour);
        break;
    }
    case Glyph::Average:
        appendPrintf(out,
                     "<path d=\"M%.1f %.1fh%.0f\" stroke=\"#555\" stroke-width=\"2\" "
                     "stroke-dasharray=\"2 3\"/>\n",
                     x, mid, kGlyphWidth);
        break;
    case Glyph::Limit:
        appendPrintf(out,
                     "<path d=\"M%.1f %.1fh%.0f\" stroke=\"#555\" stroke-width=\"1.5\" "
                     "stroke-dasharray=\"8 4\"/>\n",
                     x, mid, kGlyphWidth);
        break;
    case Glyph::Breach:
        appendPrintf(out, "<path fill=\"#b2182b\" d=\"M%.1f %.1fl4 4 -4 4 -4 -4z\"/>\n",
                     x + kGlyphWidth / 2, mid - 4);
        break;
    case Glyph::Reported:
        appendPrintf(out, "<path stroke=\"#000\" d=\"M%.1f %.1fv8\"/>\n", x + kGlyphWidth / 2,
                     mid - 4);
        break;
    case Glyph::Beyond:
        appendPrintf(out, "<path fill=\"#555\" d=\"M%.1f %.1fl-3.5 6h7z\"/>\n", x + kGlyphWidth / 2,
                     mid - 3);
        break;
    }
}

} // namespace

double appendLegend(std::string& out, PanelText& text, const std::vector<LegendItem>& items,
                    double y) {
    double x = kMargin;
    for (const LegendItem& item : items) {
        const double width = kGlyphWidth + kGlyphGap + textWidth(item.label, kFont);
        if (x > kMargin && x + width > kChartWidth - kMargin) {
            x = kMargin;
            y += kRowHeight;
        }
        appendGlyph(out, item, x, y);
        text.put(x + kGlyphWidth + kGlyphGap, y, kFont, Anchor::Start, item.label);
        x += width + kItemGap;
    }
    return y;
}

} // namespace qv
