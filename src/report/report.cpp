#include "report/report.h"

#include "platform/platform.h"

#include <cstdarg>

namespace qv {

namespace {

void vappend(std::string& into, const char* fmt, std::va_list args) {
    std::va_list copy;
    va_copy(copy, args);
    char small[512];
    const int n = std::vsnprintf(small, sizeof small, fmt, copy);
    va_end(copy);
    if (n < 0)
        return;
    if (static_cast<std::size_t>(n) < sizeof small) {
        into.append(small, static_cast<std::size_t>(n));
        return;
    }
    const std::size_t old = into.size();
    into.resize(old + static_cast<std::size_t>(n) + 1);
    std::vsnprintf(into.data() + old, static_cast<std::size_t>(n) + 1, fmt, args);
    into.resize(old + static_cast<std::size_t>(n));
}

// Formats into `buffer`, emptied first; the view lasts until the next use.
std::string_view vformat(std::string& buffer, const char* fmt, std::va_list args) {
    buffer.clear();
    vappend(buffer, fmt, args);
    return buffer;
}

} // namespace

void appendPrintf(std::string& into, const char* fmt, ...) {
    std::va_list args;
    va_start(args, fmt);
    vappend(into, fmt, args);
    va_end(args);
}

void appendPrintfV(std::string& into, const char* fmt, std::va_list args) {
    vappend(into, fmt, args);
}

void bufferStandardOutput() {
    // glibc ignores the size when no buffer is given, and writes 4 KiB at a
    // time; a report of many megabytes wants fewer, bigger writes.
    static char buffer[std::size_t{1} << 16];
    if (!consoleIsTerminal())
        std::setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
}

bool bufferStandardError() {
    static char buffer[std::size_t{1} << 16];
    return !errorsAreTerminal() && std::setvbuf(stderr, buffer, _IOFBF, sizeof buffer) == 0;
}

void Console::write(std::string_view text) {
    if (holding_)
        held_ += text;
    else
        std::fwrite(text.data(), 1, text.size(), stream_);
}

void Console::release() {
    holding_ = false;
    write(held_);
    held_.clear();
}

void Console::discard() {
    holding_ = false;
    held_.clear();
}

void Console::printf(const char* fmt, ...) {
    std::va_list args;
    va_start(args, fmt);
    write(vformat(buffer_, fmt, args));
    va_end(args);
}

std::string_view Console::format(const char* fmt, ...) {
    std::va_list args;
    va_start(args, fmt);
    const std::string_view text = vformat(buffer_, fmt, args);
    va_end(args);
    return text;
}

void Console::diagnose(const char* fmt, ...) {
    std::string line = "quorvex: ";
    std::va_list args;
    va_start(args, fmt);
    vappend(line, fmt, args);
    va_end(args);
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), errors_);
    if (!bufferedErrors_)
        std::fflush(errors_);
}

void Console::flush() {
    release();
    std::fflush(stream_);
    if (bufferedErrors_)
        std::fflush(errors_);
}

bool Console::failed() const {
    return std::ferror(stream_) != 0;
}

void ReportBlock::add(const char* fmt, ...) {
    std::va_list args;
    va_start(args, fmt);
    vappend(text_, fmt, args);
    va_end(args);
}

// Digits from the right; the magnitude is taken unsigned so that the
// smallest long long has one too.
void appendPadded(std::string& into, long long value, int width) {
    char digits[24];
    char* at = digits + sizeof digits;
    unsigned long long magnitude = value < 0 ? 0ULL - static_cast<unsigned long long>(value)
                                             : static_cast<unsigned long long>(value);
    do {
        *--at = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (value < 0)
        *--at = '-';
    const std::size_t length = static_cast<std::size_t>(digits + sizeof digits - at);
    if (width > 0 && length < static_cast<std::size_t>(width))
        into.append(static_cast<std::size_t>(width) - length, ' ');
    into.append(at, length);
}

ReportBlock& ReportBlock::putNumber(long long value, int width) {
    appendPadded(text_, value, width);
    return *this;
}

ReportBlock& ReportBlock::putHex8(std::uint32_t value) {
    static constexpr char kHex[] = "0123456789abcdef";
    char digits[8];
    for (int i = 7; i >= 0; --i, value >>= 4)
        digits[i] = kHex[value & 0xF];
    text_.append(digits, sizeof digits);
    return *this;
}

void Report::print(const char* fmt, ...) {
    std::va_list args;
    va_start(args, fmt);
    const std::string_view text = vformat(buffer_, fmt, args);
    va_end(args);
    write(text);
}

void Report::printToFile(const char* fmt, ...) {
    if (!file_)
        return;
    std::va_list args;
    va_start(args, fmt);
    file_->write(vformat(buffer_, fmt, args));
    va_end(args);
}

void Report::write(std::string_view text) {
    console_.write(text);
    if (file_)
        file_->write(text);
}

void fatal(Console& console, std::string_view reason, const char* fmt, ...) {
    std::va_list args;
    va_start(args, fmt);
    std::string text;
    vappend(text, fmt, args);
    va_end(args);
    console.write(text);
    std::string_view words(text);
    if (!words.empty() && words.back() == '\n')
        words.remove_suffix(1);
    if (reason.empty())
        console.diagnose("%.*s", static_cast<int>(words.size()), words.data());
    else
        console.diagnose("%.*s: %.*s", static_cast<int>(words.size()), words.data(),
                         static_cast<int>(reason.size()), reason.data());
    throw ProgramExit{1};
}

} // namespace qv
