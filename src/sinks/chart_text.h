// Text for the delay chart: printf into SVG, short numbers, clock labels and
// XML-safe names.
#pragma once

#include "report/report.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace qv {

/// printf-style formatting for the SVG text.
std::string textf(const char* fmt, ...) QV_PRINTF(1, 2);

/// A coordinate or value with at most one decimal, without a trailing ".0".
void appendDecimal(std::string& out, double value);

/// An integer; one of more than 8 digits is shortened to a mantissa with one
/// decimal and a power of ten ("2.1e9"), so that no text runs long.
std::string compactNumber(std::int64_t value);

/// A frame count of `fields` (fields / 2): whole, ".5" when odd, compact when long.
std::string framesText(std::int64_t fields);

/// "hh:mm" of a minute count since 00:00 (hours past 23 shown as they are).
std::string timeLabel(std::int64_t minutes);

/// Bytes as XML character data or attribute text: markup characters become
/// entities, valid UTF-8 passes, a byte of an invalid sequence is taken as
/// Latin-1, and control characters XML forbids become U+FFFD. At most
/// `maxChars` characters are kept; a longer text ends in "...".
void appendXmlText(std::string& out, std::string_view bytes, std::size_t maxChars = SIZE_MAX);

} // namespace qv
