#include "report/report.h"

#include "platform/platform.h"

#include <cstdarg>
#include <cstdio>

namespace qv {

TextFileWriter* outputFile = nullptr;

namespace {

std::string formatBuffer;
std::FILE* console = stdout;

void vformatInto(std::string& into, const char* fmt, std::va_list args) {
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

} // namespace

void initConsole() {
    if (!consoleIsTerminal())
        std::setvbuf(stdout, nullptr, _IOFBF, 1 << 16);
}

void consoleWrite(std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), console);
}

void setConsoleStream(std::FILE* stream) {
    console = stream ? stream : stdout;
}

void consoleFlush() {
    std::fflush(console);
}

bool consoleFailed() {
    return std::ferror(console) != 0;
}

namespace {

// Formats into the shared buffer; the view lasts until the next call.
std::string_view vformatText(const char* fmt, std::va_list args) {
    formatBuffer.clear();
    vformatInto(formatBuffer, fmt, args);
    return formatBuffer;
}

} // namespace

std::string_view formatText(const char* fmt, ...) {
    std::va_list args;
    va_start(args, fmt);
    const std::string_view text = vformatText(fmt, args);
    va_end(args);
    return text;
}

void consolePrintf(const char* fmt, ...) {
    std::va_list args;
    va_start(args, fmt);
    consoleWrite(vformatText(fmt, args));
    va_end(args);
}

void reportPrintf(TextFileWriter* out, const char* fmt, ...) {
    std::va_list args;
    va_start(args, fmt);
    const std::string_view text = vformatText(fmt, args);
    va_end(args);
    consoleWrite(text);
    if (out)
        out->write(text);
}

void filePrintf(TextFileWriter* out, const char* fmt, ...) {
    if (!out)
        return;
    std::va_list args;
    va_start(args, fmt);
    out->write(vformatText(fmt, args));
    va_end(args);
}

void ReportBlock::add(const char* fmt, ...) {
    std::va_list args;
    va_start(args, fmt);
    vformatInto(text_, fmt, args);
    va_end(args);
}

void ReportBlock::emit(TextFileWriter* out) const {
    consoleWrite(text_);
    if (out)
        out->write(text_);
}

} // namespace qv
