// Dual output: every report line goes to the console first and then, when
// the output file is open, the same text to the file. The run owns the
// console and the report and hands them down to whatever prints.
#pragma once

#include "platform/text_writer.h"

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#if defined(__MINGW32__)
// libstdc++ selects MinGW's C99 printf family there, not the system C runtime's.
#define QV_PRINTF(fmt, args) __attribute__((format(gnu_printf, fmt, args)))
#elif defined(__GNUC__)
#define QV_PRINTF(fmt, args) __attribute__((format(printf, fmt, args)))
#else
#define QV_PRINTF(fmt, args)
#endif

namespace qv {

/// Appends printf-style text to `into`.
void appendPrintf(std::string& into, const char* fmt, ...) QV_PRINTF(2, 3);
void appendPrintfV(std::string& into, const char* fmt, std::va_list args);
/// Appends `value` as printf's "%*lld" writes it with width `width`, without
/// printf: for rows written per line found, where a printf each shows.
void appendPadded(std::string& into, long long value, int width);

/// Gives standard output a real buffer of its own unless it is a terminal.
void bufferStandardOutput();
/// The same for standard error; true when it got one. A run that breaches
/// a limit on every group writes a diagnostic line per group, and a write
/// per line cost a third of the run.
bool bufferStandardError();

/// The console: standard output for the report and standard error for
/// diagnostics in a run, any streams in tests and fuzzing.
class Console {
  public:
    explicit Console(std::FILE* stream = stdout, std::FILE* errors = stderr)
        : stream_(stream), errors_(errors) {}
    Console(const Console&) = delete;
    Console& operator=(const Console&) = delete;

    void write(std::string_view text);
    void printf(const char* fmt, ...) QV_PRINTF(2, 3);
    void flush();
    std::FILE* stream() const { return stream_; }

    /// From now on text is kept back instead of written, until `release`
    /// writes it or `discard` drops it: a run that turns out to be refused
    /// must not write a byte (its output may be the log).
    void hold() { holding_ = true; }
    void release();
    void discard();
    /// True once a write has failed (a full disk, a closed pipe).
    bool failed() const;

    /// printf into a buffer reused from call to call; the view lasts until
    /// the next call.
    std::string_view format(const char* fmt, ...) QV_PRINTF(2, 3);

    /// One diagnostic line on the error stream: "quorvex: <text>\n". The
    /// report on the output stream never holds these.
    void diagnose(const char* fmt, ...) QV_PRINTF(2, 3);
    /// The error stream has a buffer (not a terminal): diagnostic lines wait
    /// in it until `flush`, a full buffer or the end of the program, as the
    /// report does, instead of a write each.
    void setErrorsBuffered(bool buffered) { bufferedErrors_ = buffered; }

  private:
    std::FILE* stream_;
    std::FILE* errors_;
    std::string buffer_;
    std::string held_;
    bool holding_ = false;
    bool bufferedErrors_ = false;
};

/// A block of rows that goes whole to the console and then whole to a file.
class ReportBlock {
  public:
    void add(const char* fmt, ...) QV_PRINTF(2, 3);
    /// Text as it stands, and numbers as printf writes them: `putNumber(v,
    /// w)` as "%*lld" with width w, `putHex8(v)` as "%08x". For the rows of
    /// every group, where a printf each cost a tenth of a busy log's scan.
    ReportBlock& put(std::string_view text) {
        text_.append(text);
        return *this;
    }
    ReportBlock& putNumber(long long value, int width);
    ReportBlock& putHex8(std::uint32_t value);
    const std::string& text() const { return text_; }
    void clear() { text_.clear(); }

  private:
    std::string text_;
};

/// The console and the output file of a run (or no file).
class Report {
  public:
    Report(Console& console, TextFileWriter* file) : console_(console), file_(file) {}
    Report(const Report&) = delete;
    Report& operator=(const Report&) = delete;

    Console& console() { return console_; }
    TextFileWriter* file() { return file_; }

    /// Console, then the file.
    void print(const char* fmt, ...) QV_PRINTF(2, 3);
    /// The file only, when there is one.
    void printToFile(const char* fmt, ...) QV_PRINTF(2, 3);
    /// The same text to the console, then to the file.
    void write(std::string_view text);
    /// The whole block to the console, then the whole block to the file.
    void emit(const ReportBlock& block) { write(block.text()); }

  private:
    Console& console_;
    TextFileWriter* file_;
    std::string buffer_;
};

/// Thrown to end the program with an exit code after the output is closed.
struct ProgramExit {
    int code;
};

/// Prints a fatal message on the console and the same words on the error
/// stream, followed by ": <reason>" when there is one, and ends the run with
/// exit code 1.
[[noreturn]] void fatal(Console& console, std::string_view reason, const char* fmt, ...)
    QV_PRINTF(3, 4);

} // namespace qv
