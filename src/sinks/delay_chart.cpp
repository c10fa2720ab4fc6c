#include "sinks/delay_chart.h"

#include "sinks/chart_format.h"

#include <algorithm>
#include <limits>

namespace qv {

namespace {

std::int32_t narrow(std::int64_t value) {
    constexpr std::int64_t low = std::numeric_limits<std::int32_t>::min();
    constexpr std::int64_t high = std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(std::clamp(value, low, high));
}

constexpr int kTopMargin = 8;

} // namespace

void DelayChart::beginFile(std::string_view name) {
    fileName_.assign(name);
    points_.clear();
}

void DelayChart::group(const TransitionRecord& record) {
    ChartPoint point{record.startFields, {}, record.reported};
    for (int d = 0; d < kDelayCount; ++d)
        point.delays[d] = narrow(record.delays[d]);
    points_.push_back(point);
}

void DelayChart::endFile(const FileSummaryFigures& summary) {
    std::string panel;
    appendPanel(panel, fileName_, summary, points_);
    panels_.push_back(std::move(panel));
    points_.clear();
}

void DelayChart::write(TextFileWriter& file) const {
    const int height =
        kTopMargin + std::max<int>(1, static_cast<int>(panels_.size())) * kPanelHeight;
    std::string head = textf("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
                             "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" "
                             "width=\"%d\" height=\"%d\" viewBox=\"0 0 %d %d\" "
                             "font-family=\"DejaVu Sans, Arial, Helvetica, sans-serif\" "
                             "font-size=\"12\">\n"
                             "<title>Transition delays</title>\n"
                             "<rect width=\"%d\" height=\"%d\" fill=\"#fff\"/>\n",
                             kChartWidth, height, kChartWidth, height, kChartWidth, height);
    if (panels_.empty())
        head += "<text x=\"10\" y=\"30\" font-size=\"15\">no log files analysed</text>\n";
    file.writeRaw(head);
    for (std::size_t i = 0; i < panels_.size(); ++i) {
        const int top = kTopMargin + static_cast<int>(i) * kPanelHeight;
        file.writeRaw(textf("<g transform=\"translate(0 %d)\">\n", top));
        file.writeRaw(panels_[i]);
        file.writeRaw(
            textf("<path d=\"M0 %dH%d\" stroke=\"#bbb\"/>\n</g>\n", kPanelHeight - 4, kChartWidth));
    }
    file.writeRaw("</svg>\n");
}

} // namespace qv
