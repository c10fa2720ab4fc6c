#include "sinks/chart_text.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace qv {

std::string textf(const char* fmt, ...) {
    std::string out;
    std::va_list args;
    va_start(args, fmt);
    appendPrintfV(out, fmt, args);
    va_end(args);
    return out;
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
    std::string out(text); // "2.1e+09" becomes "2.1e9"
    const std::size_t e = out.find('e');
    std::size_t digits = e + 1;
    while (digits < out.size() && (out[digits] == '+' || out[digits] == '0'))
        ++digits;
    return out.substr(0, e + 1) + out.substr(digits);
}

std::string framesText(std::int64_t fields) {
    if (fields % 2 == 0 || std::llabs(fields) >= 200000000)
        return compactNumber(fields / 2);
    std::string out;
    appendDecimal(out, static_cast<double>(fields) / 2);
    return out;
}

std::string timeLabel(std::int64_t minutes) {
    return textf("%02lld:%02lld", static_cast<long long>(minutes / 60),
                 static_cast<long long>(minutes % 60));
}

namespace {

// Length of the valid UTF-8 sequence at the start of `s`, 0 when invalid.
std::size_t utf8Length(std::string_view s) {
    const auto byte = [&s](std::size_t i) { return static_cast<unsigned char>(s[i]); };
    const unsigned char lead = byte(0);
    const std::size_t length = lead >= 0xF5   ? 0
                               : lead >= 0xF0 ? 4
                               : lead >= 0xE0 ? 3
                               : lead >= 0xC2 ? 2
                                              : 0;
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

void appendAscii(std::string& out, unsigned char c) {
    switch (c) {
    case '&':
        out += "&amp;";
        break;
    case '<':
        out += "&lt;";
        break;
    case '>':
        out += "&gt;";
        break;
    case '"':
        out += "&quot;";
        break;
    case '\'':
        out += "&apos;";
        break;
    default:
        if (c < 0x20)
            out += "&#xFFFD;";
        else
            out += static_cast<char>(c);
    }
}

} // namespace

void appendXmlText(std::string& out, std::string_view bytes, std::size_t maxChars) {
    for (std::size_t i = 0, chars = 0; i < bytes.size(); ++chars) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        const std::size_t n = c >= 0x80 ? utf8Length(bytes.substr(i)) : 1;
        if (chars + 1 == maxChars && i + std::max<std::size_t>(n, 1) < bytes.size()) {
            out += "\xE2\x80\xA6"; // more than one character left
            return;
        }
        if (c < 0x80)
            appendAscii(out, c);
        else if (n == 3 && c == 0xEF && bytes[i + 1] == '\xBF' &&
                 static_cast<unsigned char>(bytes[i + 2]) >= 0xBE)
            out += "&#xFFFD;"; // U+FFFE and U+FFFF are no characters XML allows
        else if (n > 0)
            out.append(bytes.substr(i, n));
        else
            out += textf("&#x%X;", c);
        i += n > 0 ? n : 1;
    }
}

} // namespace qv
