#include "sinks/chart_columns.h"

#include "sinks/numbers.h"

#include <algorithm>

namespace qv {

namespace {

void noteReported(Column& column, const ChartPoint& p) {
    for (int d = 0; d < kDelayCount; ++d) {
        const bool first = column.reported == 0;
        column.reportedLow[d] = first ? p.delays[d] : std::min(column.reportedLow[d], p.delays[d]);
        column.reportedHigh[d] =
            first ? p.delays[d] : std::max(column.reportedHigh[d], p.delays[d]);
    }
    ++column.reported;
}

// Indices of the timed points, grouped by column (a counting sort).
std::vector<std::uint32_t> byColumn(std::span<const ChartPoint> points, const ChartScales& scales,
                                    std::int64_t start, std::vector<std::uint32_t>& firsts) {
    const auto columns = static_cast<std::size_t>(scales.buckets());
    firsts.assign(columns + 1, 0);
    for (const ChartPoint& p : points)
        if (p.timed())
            ++firsts[static_cast<std::size_t>(scales.bucket(start, p.time)) + 1];
    for (std::size_t c = 0; c < columns; ++c)
        firsts[c + 1] += firsts[c];
    std::vector<std::uint32_t> order(firsts[columns]);
    std::vector<std::uint32_t> next(firsts.begin(), firsts.end() - 1);
    for (std::size_t i = 0; i < points.size(); ++i)
        if (points[i].timed())
            order[next[static_cast<std::size_t>(scales.bucket(start, points[i].time))]++] =
                static_cast<std::uint32_t>(i);
    return order;
}

} // namespace

ColumnDelay columnDelay(std::span<std::int32_t> values) {
    std::sort(values.begin(), values.end());
    const auto at = [&values](int permille) {
        return values[nearestRankIndex(values.size(), permille)];
    };
    return {values.front(), at(50), at(500), at(950), values.back()};
}

bool breaches(const ChartOptions& options, int delay, std::int32_t fields) {
    const auto& limit = options.limits[delay];
    return limit && fields > *limit;
}

std::vector<Column> makeColumns(std::span<const ChartPoint> points, const ChartScales& scales,
                                std::int64_t start, const ChartOptions& options) {
    std::vector<std::uint32_t> firsts;
    const std::vector<std::uint32_t> order = byColumn(points, scales, start, firsts);
    std::vector<Column> columns(static_cast<std::size_t>(scales.buckets()));
    std::vector<std::int32_t> values;
    for (std::size_t c = 0; c < columns.size(); ++c) {
        Column& column = columns[c];
        column.count = static_cast<std::int32_t>(firsts[c + 1] - firsts[c]);
        if (column.count == 0)
            continue;
        for (int d = 0; d < kDelayCount; ++d) {
            values.clear();
            for (std::uint32_t k = firsts[c]; k < firsts[c + 1]; ++k) {
                const ChartPoint& p = points[order[k]];
                values.push_back(p.delays[d]);
                column.breach = column.breach || breaches(options, d, p.delays[d]);
            }
            column.delays[d] = columnDelay(values);
        }
        for (std::uint32_t k = firsts[c]; k < firsts[c + 1]; ++k)
            if (points[order[k]].reported())
                noteReported(column, points[order[k]]);
    }
    return columns;
}

} // namespace qv
