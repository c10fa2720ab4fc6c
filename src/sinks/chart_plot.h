// The geometry of a panel and the texts placed on it, shared by the code that
// draws its parts.
#pragma once

#include "sinks/chart_scales.h"

#include <string>
#include <string_view>
#include <vector>

namespace qv {

inline constexpr int kChartWidth = 1200;
inline constexpr double kMargin = 10;
inline constexpr double kPlotLeft = 76;
inline constexpr double kPlotRight = kPlotLeft + kPlotColumns;
inline constexpr double kPlotHeight = 260;
inline constexpr double kHistLeft = 900;
inline constexpr double kHistWidth = 86;
inline constexpr double kHistGap = 12;
inline constexpr double kHistRight = kHistLeft + 3 * kHistWidth + 2 * kHistGap;
inline constexpr double kSmallFont = 11;
inline constexpr double kFont = 12;

// Colour-blind-safe hues, one per delay.
inline constexpr const char* kColours[kDelayCount] = {"#0072b2", "#e69f00", "#009e73"};
inline constexpr const char* kNames[kDelayCount] = {"Rev2Router", "RtrCmd2Status", "RtrCmd2MX"};

/// Where one panel's plot lies and how times and delays map onto it.
struct PlotFrame {
    const ChartScales& scales;
    std::int64_t start; // axis place at the left edge
    double top;

    double bottom() const { return top + kPlotHeight; }
    double x(std::int64_t time) const {
        return kPlotLeft + static_cast<double>(time - start) /
                               static_cast<double>(scales.timeLength) * kPlotColumns;
    }
    double columnLeft(int column) const { return kPlotLeft + column * scales.bucketWidth; }
    double columnCentre(int column) const { return columnLeft(column) + scales.bucketWidth / 2.0; }
    /// May lie beyond the plot.
    double y(double fields) const {
        const ValueAxis& a = scales.frames;
        return bottom() - (fields / 2 - a.lo) / (a.hi - a.lo) * kPlotHeight;
    }
    double yClamped(double fields) const;
    bool above(std::int32_t fields) const { return fields > scales.highFields(); }
    bool below(std::int32_t fields) const { return fields < scales.lowFields(); }
};

enum class Anchor { Start, Middle, End };

/// The texts of a panel with their estimated boxes, so that a label that
/// could collide looks for a free place instead.
class PanelText {
  public:
    struct Box {
        double x0, y0, x1, y1;
    };

    explicit PanelText(std::string& out) : out_(out) {}

    static Box box(double x, double y, double size, Anchor anchor, std::string_view text);
    bool fits(const Box& box) const;

    /// Draws `text` with its baseline at `y`; `attributes` start with a space.
    void put(double x, double y, double size, Anchor anchor, std::string_view text,
             std::string_view attributes = {});
    /// Draws it only where it collides with nothing drawn so far; `backdrop`
    /// puts a translucent white box behind it, for a label over the data.
    bool tryPut(double x, double y, double size, Anchor anchor, std::string_view text,
                std::string_view attributes = {}, bool backdrop = false);

  private:
    std::string& out_;
    std::vector<Box> boxes_;
};

} // namespace qv
