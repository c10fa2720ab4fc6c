// The axes of a panel: the delay grid, the time axis in log order with its
// day changes and clocks set back, and the histograms on the delay axis.
#pragma once

#include "sinks/chart_plot.h"

#include <span>
#include <string>

namespace qv {

/// Grid lines across plot and histograms, their labels and the unit.
void appendValueAxis(std::string& out, PanelText& text, const PlotFrame& frame);

/// Grid lines and labels of the clock times, each segment of the file with
/// its own clock, and the frame of the plot.
void appendTimeAxis(std::string& out, PanelText& text, const ChartFile& file,
                    const PlotFrame& frame);

/// A labelled line where the clock passes midnight or was set back; drawn
/// over the data.
void appendTimeMarks(std::string& out, PanelText& text, const ChartFile& file,
                     const PlotFrame& frame);

/// A horizontal histogram per delay beside the plot, on its delay axis: the
/// same bins in every panel, delays beyond the axis left out.
void appendHistograms(std::string& out, PanelText& text, std::span<const ChartPoint> points,
                      const PlotFrame& frame);

} // namespace qv
