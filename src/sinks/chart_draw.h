// The parts of the delay chart on a fixed layout 1400 pixels wide: the header,
// views of columns of statistics (one per file, one per hour of day) and the
// panel of a file over its time axis, all on one delay axis.
#pragma once

#include "sinks/chart_stats.h"
#include "timebase/timebase.h"

#include <span>
#include <string>
#include <vector>

namespace qv {

inline constexpr int kChartWidth = 1400;
inline constexpr double kViewHeight = 200;  // plot of a view of statistics
inline constexpr double kPanelHeight = 150; // plot of a file's panel
inline constexpr double kPanelStep = 214;   // from one panel to the next

/// One column of a view: the statistics of some groups and its marks.
struct StatColumn {
    std::string label; // raw bytes, escaped when drawn
    std::string tip;   // the figures as text, shown on hover
    DelayStats delays[kDelayCount];
    std::int64_t groups = 0, breaches = 0, blockErrors = 0;
};

/// The lines of `column`'s tip after its first: each delay's figures in frames.
void appendStatTip(std::string& tip, const StatColumn& column);

/// A view of `columns` whose plot starts at `top`; file names are set
/// slanted under their columns, hours upright. Returns the height it takes
/// below `top`.
double drawStatView(std::string& out, double top, const char* title,
                    const std::vector<StatColumn>& columns, bool slanted, const ValueAxis& axis,
                    const ChartOptions& options);

/// What every panel shares: the delay axis and the length of the time axis.
struct PanelScales {
    ValueAxis axis;
    std::int64_t unit;   // fields; a panel starts at its first time rounded down to this
    std::int64_t length; // fields of every panel's time axis
};

/// Scales for `files` and, when not null, `extra` (a file not ended yet).
PanelScales panelScales(const ValueAxis& axis, std::span<const ChartFile> files,
                        const ChartFile* extra, const Timebase& timebase);

/// The panel of one file whose box starts at `top`; `points` are laid out.
void drawPanel(std::string& out, double top, const ChartFile& file,
               std::span<const ChartPoint> points, const PanelScales& scales,
               const ChartOptions& options, const Timebase& timebase);

} // namespace qv
