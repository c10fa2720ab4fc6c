// SVG path data for the chart's dense series.
#pragma once

#include "sinks/chart_format.h"

#include <cmath>
#include <cstdlib>
#include <string>

namespace qv {

/// Path data in tenths of a pixel, relative after the first point: relative
/// steps keep dense paths short, whole tenths keep them from drifting.
class Path {
  public:
    /// Appends to `out`, which should end in an element's d=" already.
    explicit Path(std::string& out) : out_(out) {}

    void moveTo(double x, double y) {
        const long tx = tenths(x), ty = tenths(y);
        out_ += started_ ? 'm' : 'M';
        number(started_ ? tx - x_ : tx);
        out_ += ' ';
        number(started_ ? ty - y_ : ty);
        x_ = startX_ = tx, y_ = startY_ = ty, started_ = true;
    }
    void horizontalTo(double x) { step('h', x_, tenths(x)); }
    void verticalTo(double y) { step('v', y_, tenths(y)); }
    /// A closed shape in relative steps from the pen ("l4 4 -4 4z"); its 'z'
    /// brings the pen back.
    void shape(const char* closed) {
        out_ += closed;
        x_ = startX_, y_ = startY_;
    }
    /// Back to the point of the last move, as 'z' takes the pen there.
    void close() {
        out_ += 'z';
        x_ = startX_, y_ = startY_;
    }

  private:
    static long tenths(double value) { return std::lround(value * 10); }
    void step(char command, long& at, long to) {
        if (to == at)
            return;
        out_ += command;
        number(to - at);
        at = to;
    }
    void number(long tenths) {
        appendPrintf(out_, "%s%ld", tenths < 0 ? "-" : "", std::labs(tenths) / 10);
        if (std::labs(tenths) % 10 != 0)
            appendPrintf(out_, ".%ld", std::labs(tenths) % 10);
    }

    std::string& out_;
    long x_ = 0, y_ = 0;           // the pen
    long startX_ = 0, startY_ = 0; // the last move
    bool started_ = false;
};

} // namespace qv
