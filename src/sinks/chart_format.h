// Axis scales and text for the delay chart: tick steps, time-of-day labels,
// compact numbers and XML-safe text.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

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

#if defined(__MINGW32__)
// libstdc++ selects MinGW's C99 printf family there, not the system C runtime's.
#define QV_CHART_PRINTF(fmt, args) __attribute__((format(gnu_printf, fmt, args)))
#elif defined(__GNUC__)
#define QV_CHART_PRINTF(fmt, args) __attribute__((format(printf, fmt, args)))
#else
#define QV_CHART_PRINTF(fmt, args)
#endif

/// printf-style appending and formatting for the SVG text.
void appendFormat(std::string& out, const char* fmt, ...) QV_CHART_PRINTF(2, 3);
std::string textf(const char* fmt, ...) QV_CHART_PRINTF(1, 2);

/// A coordinate or value with at most one decimal, without a trailing ".0".
void appendDecimal(std::string& out, double value);

/// Bytes as XML character data or attribute text: markup characters become
/// entities, valid UTF-8 passes, a byte of an invalid sequence is taken as
/// Latin-1, and control characters XML forbids become U+FFFD.
void appendXmlText(std::string& out, std::string_view bytes);

} // namespace qv
