// One log file's panel of the delay chart: a title with the file's figures,
// the delays of its groups over their time in log order, per delay a band,
// median line and whiskers per column of groups, the averages, limits and
// breaches, a histogram per delay, and a footnote on what was left out.
#pragma once

#include "sinks/chart_data.h"
#include "sinks/chart_scales.h"

#include <span>
#include <string>

namespace qv {

/// Appends the panel's SVG elements, drawn from y 0 down; returns its height.
int appendPanel(std::string& out, const ChartFile& file, std::span<const ChartPoint> points,
                const ChartScales& scales, const ChartOptions& options);

} // namespace qv
