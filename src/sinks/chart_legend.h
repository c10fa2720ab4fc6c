// The legend of a panel: one glyph and text per thing drawn, laid out in
// rows that wrap inside the chart's width.
#pragma once

#include "sinks/chart_plot.h"

#include <string>
#include <vector>

namespace qv {

enum class Glyph { Delay, Summary, Average, Limit, Breach, Reported, Beyond };

struct LegendItem {
    Glyph glyph;
    int delay; // for Glyph::Delay
    std::string label;
};

/// Draws the items from baseline `y` on; returns the baseline of the last row.
double appendLegend(std::string& out, PanelText& text, const std::vector<LegendItem>& items,
                    double y);

} // namespace qv
