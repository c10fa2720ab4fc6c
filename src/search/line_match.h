// The line tests every scan uses: a plain, case-sensitive substring search
// over the bytes of one read, and the C-library style number readers.
#pragma once

#include <cstdint>
#include <string_view>

namespace qv {

/// True when `needle` occurs in `line`; an empty needle is found everywhere.
inline bool contains(std::string_view line, std::string_view needle) {
    return line.find(needle) != std::string_view::npos;
}

/// Two texts that share their start: `start` + `first` and `start` + `second`.
struct TextPair {
    std::string_view start;
    std::string_view first;
    std::string_view second;
};

struct PairFound {
    bool first = false;  // contains(line, start + first)
    bool second = false; // contains(line, start + second)
};

/// What `contains` says of each text of `pair`, from one search of their
/// common start (a line's tests ask for both often, and hold neither mostly).
PairFound containsPair(std::string_view line, const TextPair& pair);

/// Reads a number like strtol in `base` (10 or 16) would, with the result
/// clamped to the signed 32-bit range: leading white space, one sign, for
/// base 16 an optional 0x/0X prefix, digits up to the first non-digit, 0
/// without digits.
std::int32_t parseLong32(std::string_view text, int base);

} // namespace qv
