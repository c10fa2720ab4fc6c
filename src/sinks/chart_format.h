// Axis scales and text for the delay chart: tick steps, time-of-day labels,
// compact numbers, estimated text widths and XML-safe text.
#pragma once

#include "report/report.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qv {

/// A value axis from `lo` to `hi` in ticks of `step`; lo and hi are
/// multiples of step.
struct ValueAxis {
    double lo;
    double hi;
    double step;
};

/// Covers [low, high] with at most `maxTicks` intervals of 1, 2 or 5 times a
/// power of ten, never finer than `minStep`.
ValueAxis valueAxis(double low, double high, double minStep, int maxTicks);

/// A time axis in fields (1/60 s); labels carry seconds when the step does.
struct TimeAxis {
    std::int64_t lo;
    std::int64_t hi;
    std::int64_t step;
    bool seconds;
};

/// Covers [first, last] with at most eight steps of 1 s up to 6 h.
TimeAxis timeAxis(std::int64_t first, std::int64_t last);

/// "hh:mm" or "hh:mm:ss" of a field count since 00:00:00.
std::string timeLabel(std::int64_t fields, bool seconds);

/// `value` rounded down to a multiple of `step` (> 0), also below zero.
std::int64_t floorTo(std::int64_t value, std::int64_t step);

/// An integer; one of more than 8 digits is shortened to a mantissa with one
/// decimal and a power of ten ("2.1e9"), so that no text runs long.
std::string compactNumber(std::int64_t value);

/// A frame count of `fields` (fields / 2): whole, ".5" when odd, compact when long.
std::string framesText(std::int64_t fields);

/// A value with at most one decimal, compact when its whole part has more
/// than 8 digits.
std::string compactDecimal(double value);

/// Estimated width of `text` at `fontSize` pixels: 0.62 em per character
/// (code point), a little wider than the digits and most letters of the
/// fonts the chart asks for.
double textWidth(std::string_view text, double fontSize);

/// Estimated extent above and below the baseline, in em.
inline constexpr double kTextAscent = 0.8;
inline constexpr double kTextDescent = 0.25;

/// `text` broken at spaces into lines no wider than `width` (a longer word
/// gets a line of its own).
std::vector<std::string> wrapText(std::string_view text, double width, double fontSize);

/// `text` cut in the middle, with "...", to at most `maxChars` code points.
std::string elideMiddle(std::string_view text, std::size_t maxChars);

/// printf-style formatting for the SVG text (appendPrintf appends).
std::string textf(const char* fmt, ...) QV_PRINTF(1, 2);

/// A coordinate or value with at most one decimal, without a trailing ".0".
void appendDecimal(std::string& out, double value);

/// Bytes as XML character data or attribute text: markup characters become
/// entities, valid UTF-8 passes, a byte of an invalid sequence is taken as
/// Latin-1, and control characters XML forbids become U+FFFD.
void appendXmlText(std::string& out, std::string_view bytes);

} // namespace qv
