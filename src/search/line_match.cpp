#include "search/line_match.h"

#include <limits>

namespace qv {

namespace {

bool isCSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

int digitValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'Z')
        return c - 'A' + 10;
    return 99;
}

} // namespace

PairFound containsPair(std::string_view line, const TextPair& pair) {
    PairFound found;
    for (std::size_t at = line.find(pair.start);
         at != std::string_view::npos && !(found.first && found.second);
         at = line.find(pair.start, at + 1)) {
        const std::string_view rest = line.substr(at + pair.start.size());
        found.first = found.first || rest.starts_with(pair.first);
        found.second = found.second || rest.starts_with(pair.second);
    }
    return found;
}

std::int32_t parseLong32(std::string_view text, int base) {
    std::size_t i = 0;
    while (i < text.size() && isCSpace(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    // A "0x" prefix counts only when a hexadecimal digit follows it.
    if (base == 16 && i + 2 < text.size() && text[i] == '0' &&
        (text[i + 1] == 'x' || text[i + 1] == 'X') && digitValue(text[i + 2]) < 16)
        i += 2;
    constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    std::int64_t value = 0;
    for (; i < text.size() && digitValue(text[i]) < base; ++i) {
        value = value * base + digitValue(text[i]);
        if (value > kLimit)
            value = kLimit; // saturate; keeps consuming digits like strtol
    }
    if (negative)
        return static_cast<std::int32_t>(-value);
    return value >= kLimit ? std::numeric_limits<std::int32_t>::max()
                           : static_cast<std::int32_t>(value);
}

} // namespace qv
