// The three simple modes: one pass over a log with one test per read.
#pragma once

#include "search/line_reader.h"
#include "platform/text_writer.h"

namespace qv {

/// CMD ERROR TC: the delta of every "CMD-ERROR on TC" read, total and averages.
void scanCommandErrors(LineReader& logFile, TextFileWriter* outputFile, int summaryMode);

/// COUNT TAKES: reads containing " src ", per minute and second of one hour.
/// `summaryMode` is accepted like the other scans and ignored.
void countTakes(LineReader& logFile, TextFileWriter* outputFile, int summaryMode);

/// GREP: lists (or, in summary mode, counts) the reads containing `grepText`.
void grepLines(LineReader& logFile, TextFileWriter* outputFile, const char* grepText,
               int summaryMode);

} // namespace qv
