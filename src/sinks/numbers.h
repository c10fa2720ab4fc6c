// Small number helpers shared by the side outputs, so that the CSV, the
// hourly table and the chart agree to the digit.
#pragma once

#include <algorithm>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>

namespace qv {

/// A delay between two timecodes always fits; the clamp keeps the cast defined.
inline std::int32_t clampToInt32(std::int64_t value) {
    constexpr std::int64_t low = std::numeric_limits<std::int32_t>::min();
    constexpr std::int64_t high = std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(std::clamp(value, low, high));
}

/// Nearest rank among `count` (> 0) sorted values: the index of the
/// ceil(permille / 1000 * count)-th smallest.
inline std::size_t nearestRankIndex(std::size_t count, int permille) {
    const std::size_t rank = (static_cast<std::size_t>(permille) * count + 999) / 1000;
    return std::max<std::size_t>(rank, 1) - 1;
}

/// The digits of a BCD timecode as read: a digit above 9 shows as its letter.
inline constexpr char kHexDigits[] = "0123456789abcdef";

/// `value` in decimal, as printf's "%lld" writes it.
inline void appendNumber(std::string& out, std::int64_t value) {
    char text[24];
    const std::to_chars_result end = std::to_chars(text, text + sizeof text, value);
    out.append(text, end.ptr);
}

} // namespace qv
