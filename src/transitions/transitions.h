// The ROUTER TAKES mode: the transition scanner and the per-file summary.
#pragma once

#include "search/line_reader.h"
#include "platform/text_writer.h"

namespace qv {

/// Follows every fade and mix of the process `srchname` through one log file.
/// The caller has called resetFileStats for this file.
void scanTransitions(LineReader& logFile, TextFileWriter* outputFile, int summaryMode);

/// Counters and delay statistics of the file just scanned, standard or
/// comma-delimited (`excelMode`).
void printRunSummary();

} // namespace qv
