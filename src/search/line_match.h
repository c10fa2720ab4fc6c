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

/// Reads a number like strtol in `base` (10 or 16) would, with the result
/// clamped to the signed 32-bit range: leading white space, one sign, for
/// base 16 an optional 0x/0X prefix, digits up to the first non-digit, 0
/// without digits.
std::int32_t parseLong32(std::string_view text, int base);

} // namespace qv
