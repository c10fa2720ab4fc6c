#include "sinks/chart_plot.h"

#include "sinks/chart_format.h"

#include <algorithm>

namespace qv {

double PlotFrame::yClamped(double fields) const {
    return std::clamp(y(fields), top, bottom());
}

PanelText::Box PanelText::box(double x, double y, double size, Anchor anchor,
                              std::string_view text) {
    const double width = textWidth(text, size);
    const double left = anchor == Anchor::Start    ? x
                        : anchor == Anchor::Middle ? x - width / 2
                                                   : x - width;
    return {left, y - kTextAscent * size, left + width, y + kTextDescent * size};
}

bool PanelText::fits(const Box& b) const {
    if (b.x0 < 0 || b.x1 > kChartWidth)
        return false;
    return std::none_of(boxes_.begin(), boxes_.end(), [&b](const Box& o) {
        return b.x0 < o.x1 && o.x0 < b.x1 && b.y0 < o.y1 && o.y0 < b.y1;
    });
}

void PanelText::put(double x, double y, double size, Anchor anchor, std::string_view text,
                    std::string_view attributes) {
    boxes_.push_back(box(x, y, size, anchor, text));
    appendPrintf(out_, "<text x=\"%.1f\" y=\"%.1f\"", x, y);
    if (size != kFont)
        appendPrintf(out_, " font-size=\"%g\"", size);
    if (anchor != Anchor::Start)
        out_ += anchor == Anchor::Middle ? " text-anchor=\"middle\"" : " text-anchor=\"end\"";
    out_ += attributes;
    out_ += '>';
    appendXmlText(out_, text);
    out_ += "</text>\n";
}

bool PanelText::tryPut(double x, double y, double size, Anchor anchor, std::string_view text,
                       std::string_view attributes, bool backdrop) {
    const Box b = box(x, y, size, anchor, text);
    if (!fits(b))
        return false;
    if (backdrop)
        appendPrintf(out_,
                     "<rect x=\"%.1f\" y=\"%.1f\" width=\"%.1f\" height=\"%.1f\" fill=\"#fff\" "
                     "fill-opacity=\"0.75\"/>\n",
                     b.x0 - 1, b.y0, b.x1 - b.x0 + 2, b.y1 - b.y0);
    put(x, y, size, anchor, text, attributes);
    return true;
}

} // namespace qv
