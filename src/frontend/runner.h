// The file runners: open each log, reset the per-file state, announce the
// file, run the mode's scan, close it; at the end close the output file.
#pragma once

#include "frontend/settings.h"

namespace qv {

void runSingleFile(const char* logName, AnalyzeMode mode, int summaryMode, const char* grepText);
void runFilePattern(const char* pattern, AnalyzeMode mode, int summaryMode, const char* grepText);

/// Flushes and closes the output file; a failed write ends the run with
/// "Error writing" and exit code 1 rather than a false success.
void closeOutputFile();

} // namespace qv
