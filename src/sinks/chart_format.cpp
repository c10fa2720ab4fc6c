#include "sinks/chart_format.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>

namespace qv {

std::string textf(const char* fmt, ...) {
    std::string out;
    std::va_list args;
    va_start(args, fmt);
    appendPrintfV(out, fmt, args);
    va_end(args);
    return out;
}

ValueAxis valueAxis(double low, double high, double minStep, int maxTicks) {
    double power = std::pow(10.0, std::floor(std::log10(minStep)));
    for (int decade = 0;; ++decade, power *= 10) {
        for (double factor : {1.0, 2.0, 5.0}) {
            const double step = power * factor;
            if (step < minStep)
                continue;
            const double lo = std::floor(low / step) * step;
            double hi = std::ceil(high / step) * step;
            if (hi <= lo)
                hi = lo + step;
            if ((hi - lo) / step <= maxTicks + 1e-9 || decade > 40)
                return {lo, hi, step};
        }
    }
}

std::int64_t floorTo(std::int64_t value, std::int64_t step) {
    return value - ((value % step) + step) % step;
}

TimeAxis timeAxis(std::int64_t first, std::int64_t last) {
    static constexpr std::int64_t kStepSeconds[] = {
        1, 2, 5, 10, 15, 30, 60, 120, 300, 600, 900, 1800, 3600, 7200, 10800, 21600, 43200, 86400};
    const auto intervals = [first, last](std::int64_t step) {
        const std::int64_t span = last - floorTo(first, step);
        return span <= 0 ? 1 : (span + step - 1) / step;
    };
    std::int64_t step = 0;
    for (std::int64_t seconds : kStepSeconds) {
        step = seconds * 60;
        if (intervals(step) <= 8)
            break;
    }
    const std::int64_t lo = floorTo(first, step);
    return {lo, lo + intervals(step) * step, step, step < 3600};
}

std::string timeLabel(std::int64_t fields, bool seconds) {
    const long long total = static_cast<long long>(fields / 60);
    char text[32];
    if (seconds)
        std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld", total / 3600, total / 60 % 60,
                      total % 60);
    else
        std::snprintf(text, sizeof text, "%02lld:%02lld", total / 3600, total / 60 % 60);
    return text;
}

void appendDecimal(std::string& out, double value) {
    char text[32];
    int n = std::snprintf(text, sizeof text, "%.1f", value);
    if (n >= 2 && text[n - 1] == '0' && text[n - 2] == '.')
        n -= 2;
    if (n == 2 && text[0] == '-' && text[1] == '0') // "-0.0"
        n = 1, text[0] = '0';
    out.append(text, static_cast<std::size_t>(n));
}

std::string compactNumber(std::int64_t value) {
    if (value > -100000000 && value < 100000000)
        return textf("%lld", static_cast<long long>(value));
    char text[32];
    std::snprintf(text, sizeof text, "%.1e", static_cast<double>(value));
    // "2.1e+09" becomes "2.1e9"
    std::string out(text);
    const std::size_t e = out.find('e');
    std::size_t digits = e + 1;
    while (digits < out.size() && (out[digits] == '+' || out[digits] == '0'))
        ++digits;
    return out.substr(0, e + 1) + out.substr(digits);
}

std::string framesText(std::int64_t fields) {
    if (fields % 2 == 0)
        return compactNumber(fields / 2);
    return compactDecimal(static_cast<double>(fields) / 2);
}

std::string compactDecimal(double value) {
    if (std::fabs(value) >= 99999999.5)
        return compactNumber(static_cast<std::int64_t>(value));
    std::string out;
    appendDecimal(out, value);
    return out;
}

namespace {

std::size_t codePoints(std::string_view text) {
    std::size_t count = 0;
    for (char c : text)
        count += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
    return count;
}

} // namespace

double textWidth(std::string_view text, double fontSize) {
    return 0.62 * fontSize * static_cast<double>(codePoints(text));
}

std::vector<std::string> wrapText(std::string_view text, double width, double fontSize) {
    std::vector<std::string> lines;
    std::string line;
    while (!text.empty()) {
        const std::size_t space = text.find(' ');
        const std::string_view word = text.substr(0, space);
        text = space == std::string_view::npos ? std::string_view() : text.substr(space + 1);
        if (word.empty())
            continue;
        if (!line.empty() &&
            textWidth(line, fontSize) + textWidth(word, fontSize) + textWidth(" ", fontSize) >
                width) {
            lines.push_back(std::move(line));
            line.clear();
        }
        if (!line.empty())
            line += ' ';
        line += word;
    }
    if (!line.empty())
        lines.push_back(std::move(line));
    return lines;
}

namespace {

// Byte offset of code point `n` of `text`, or its size.
std::size_t offsetOf(std::string_view text, std::size_t n) {
    std::size_t i = 0;
    for (; i < text.size(); ++i)
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80 && n-- == 0)
            break;
    return i;
}

} // namespace

std::string elideMiddle(std::string_view text, std::size_t maxChars) {
    const std::size_t count = codePoints(text);
    if (count <= maxChars || maxChars < 3)
        return std::string(text);
    const std::size_t head = (maxChars - 1) / 2;
    const std::size_t tail = maxChars - 1 - head;
    return std::string(text.substr(0, offsetOf(text, head))) + "\xE2\x80\xA6" +
           std::string(text.substr(offsetOf(text, count - tail)));
}

namespace {

// Length of the valid UTF-8 sequence at the start of `s`, 0 when invalid.
std::size_t utf8Length(std::string_view s) {
    const auto byte = [&s](std::size_t i) { return static_cast<unsigned char>(s[i]); };
    const unsigned char lead = byte(0);
    std::size_t length = lead >= 0xF0 && lead <= 0xF4 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
    if (length == 0 || length > s.size())
        return 0;
    for (std::size_t i = 1; i < length; ++i)
        if ((byte(i) & 0xC0) != 0x80)
            return 0;
    const unsigned second = byte(1);
    if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second >= 0xA0) ||
        (lead == 0xF0 && second < 0x90) || (lead == 0xF4 && second >= 0x90))
        return 0; // overlong, surrogate or beyond U+10FFFF
    return length;
}

} // namespace

void appendXmlText(std::string& out, std::string_view bytes) {
    char ref[16];
    for (std::size_t i = 0; i < bytes.size();) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c >= 0x80) {
            if (const std::size_t n = utf8Length(bytes.substr(i))) {
                // U+FFFE and U+FFFF are not characters XML allows either.
                const bool nonCharacter = n == 3 && c == 0xEF &&
                                          static_cast<unsigned char>(bytes[i + 1]) == 0xBF &&
                                          static_cast<unsigned char>(bytes[i + 2]) >= 0xBE;
                if (nonCharacter)
                    out += "&#xFFFD;";
                else
                    out.append(bytes.substr(i, n));
                i += n;
                continue;
            }
            std::snprintf(ref, sizeof ref, "&#x%X;", c);
            out += ref;
        } else if (c == '&') {
            out += "&amp;";
        } else if (c == '<') {
            out += "&lt;";
        } else if (c == '>') {
            out += "&gt;";
        } else if (c == '"') {
            out += "&quot;";
        } else if (c == '\'') {
            out += "&apos;";
        } else if (c < 0x20) {
            out += "&#xFFFD;";
        } else {
            out += static_cast<char>(c);
        }
        ++i;
    }
}

} // namespace qv
