#include "sinks/delay_chart.h"

#include "sinks/chart_format.h"
#include "sinks/chart_panel.h"
#include "sinks/chart_plot.h"
#include "sinks/chart_scales.h"
#include "sinks/chart_timeline.h"
#include "sinks/numbers.h"

#include <algorithm>
#include <span>

namespace qv {

namespace {

constexpr int kTopMargin = 8;
constexpr int kPanelGap = 12;

} // namespace

void DelayChart::beginFile(std::string_view name) {
    ChartFile file;
    file.name.assign(name);
    file.begin = file.end = points_.size();
    files_.push_back(std::move(file));
}

void DelayChart::group(const TransitionRecord& record) {
    if (files_.empty())
        beginFile("");
    ChartFile& file = files_.back();
    ++file.groups;
    if (!std::all_of(std::begin(record.delaySound), std::end(record.delaySound),
                     [](bool sound) { return sound; })) {
        ++file.unsound;
        return;
    }
    file.misreadStart += record.startSound ? 0 : 1;
    ChartPoint point{record.startFields, {}, 0};
    for (int d = 0; d < kDelayCount; ++d)
        point.delays[d] = clampToInt32(record.delays[d]);
    point.flags = static_cast<std::uint8_t>((record.reported ? kPointReported : 0) |
                                            (record.startSound ? kPointTimed : 0));
    points_.push_back(point);
}

void DelayChart::endFile(const FileSummaryFigures& summary) {
    if (files_.empty())
        beginFile("");
    ChartFile& file = files_.back();
    file.summary = summary;
    file.end = points_.size();
    layOutTimes(std::span<ChartPoint>(points_).subspan(file.begin, file.pointCount()), file);
}

std::string DelayChart::document() const {
    const ChartScales scales = chartScales(files_, points_, options_);
    std::string panels;
    int height = kTopMargin;
    for (const ChartFile& file : files_) {
        panels += textf("<g transform=\"translate(0 %d)\">\n", height);
        const std::span<const ChartPoint> points =
            std::span<const ChartPoint>(points_).subspan(file.begin, file.pointCount());
        const int panelHeight = appendPanel(panels, file, points, scales, options_);
        // The separator halfway into the gap, in the panel's own coordinates.
        panels += textf("<path d=\"M0 %dH%d\" stroke=\"#bbb\"/>\n</g>\n",
                        panelHeight + kPanelGap / 2, kChartWidth);
        height += panelHeight + kPanelGap;
    }
    height = std::max(height, 48);
    std::string svg = textf("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
                            "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" "
                            "width=\"%d\" height=\"%d\" viewBox=\"0 0 %d %d\" "
                            "font-family=\"DejaVu Sans, Arial, Helvetica, sans-serif\" "
                            "font-size=\"12\">\n"
                            "<title>Transition delays</title>\n"
                            "<rect width=\"%d\" height=\"%d\" fill=\"#fff\"/>\n",
                            kChartWidth, height, kChartWidth, height, kChartWidth, height);
    if (files_.empty())
        svg += "<text x=\"10\" y=\"30\" font-size=\"15\">no log files analysed</text>\n";
    svg += panels;
    svg += "</svg>\n";
    return svg;
}

} // namespace qv
