// Dual output: every report line goes to the console first and then, when
// the output file is open, the same text to the file.
#pragma once

#include "platform/text_writer.h"

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

/// The open output file of the run, or nullptr.
extern TextFileWriter* outputFile;

/// Sets up standard output: fully buffered unless it is a terminal.
void initConsole();
void consoleWrite(std::string_view text);
/// Sends console text to `stream` instead of standard output (tests, fuzzing).
void setConsoleStream(std::FILE* stream);
void consoleFlush();
/// True once a write to the console has failed (a full disk, a closed pipe).
bool consoleFailed();

/// printf into a reused buffer; the view lasts until the next call.
std::string_view formatText(const char* fmt, ...) QV_PRINTF(1, 2);

/// Console only.
void consolePrintf(const char* fmt, ...) QV_PRINTF(1, 2);
/// Console, then `out` when it is not null.
void reportPrintf(TextFileWriter* out, const char* fmt, ...) QV_PRINTF(2, 3);
/// `out` only, when it is not null.
void filePrintf(TextFileWriter* out, const char* fmt, ...) QV_PRINTF(2, 3);

/// A block of rows that goes whole to the console and then whole to a file.
class ReportBlock {
  public:
    void add(const char* fmt, ...) QV_PRINTF(2, 3);
    const std::string& text() const { return text_; }
    void clear() { text_.clear(); }
    /// The whole block to the console, then the whole block to `out` if set.
    void emit(TextFileWriter* out) const;

  private:
    std::string text_;
};

/// Thrown to end the program with an exit code after the output is closed.
struct ProgramExit {
    int code;
};

} // namespace qv
