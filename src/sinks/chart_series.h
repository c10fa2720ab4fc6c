// The delays of a panel's columns: whiskers, bands, median lines, dots,
// markers for delays beyond the axis, average and limit lines, breaches and
// reported groups.
#pragma once

#include "sinks/chart_columns.h"
#include "sinks/chart_plot.h"

#include <string>
#include <vector>

namespace qv {

/// Adjacent columns drawn as one piece, first to last.
struct ColumnRun {
    int first, last;
};

/// Runs of adjacent columns with at least two groups each; a run ends where
/// `breakAfter` says a clock was set back.
std::vector<ColumnRun> bandRuns(const std::vector<Column>& columns,
                                const std::vector<bool>& breakAfter);

/// Stretches of occupied columns without a pause longer than `maxGap`
/// columns or a clock set back: where the average lines run.
std::vector<ColumnRun> dataSpans(const std::vector<Column>& columns,
                                 const std::vector<bool>& breakAfter, int maxGap);

/// Thin lines from the smallest to the largest delay of each column, under
/// translucent bands from its 5th to 95th percentile and a line through its
/// medians; a column of one group is a dot.
void appendSeries(std::string& out, const std::vector<Column>& columns,
                  const std::vector<ColumnRun>& runs, const PlotFrame& frame);

/// A triangle at the plot's edge in every column with a delay beyond the axis.
void appendBeyondMarkers(std::string& out, const std::vector<Column>& columns,
                         const PlotFrame& frame);

/// Dotted lines at each delay's average (fields) over the spans.
void appendAverages(std::string& out, const double (&averages)[kDelayCount],
                    const std::vector<ColumnRun>& spans, const PlotFrame& frame);

/// A dashed line and a label per limit.
void appendLimits(std::string& out, PanelText& text, const ChartOptions& options,
                  const PlotFrame& frame);

/// A diamond above every column holding a breach.
void appendBreaches(std::string& out, const std::vector<Column>& columns, const PlotFrame& frame);

/// True while the columns with reported groups are few enough to tick:
/// fewer than one per 4 pixels.
bool fewEnoughToTick(const std::vector<Column>& columns);

/// Ticks above the columns with reported groups and, while they are fewer
/// still, rings at their delays.
void appendReported(std::string& out, const std::vector<Column>& columns, const PlotFrame& frame);

} // namespace qv
