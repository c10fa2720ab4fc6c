// A run must never read what it writes: the output file, the side outputs
// and standard output (when it is a regular file) are checked against the
// logs before anything is opened or written.
#pragma once

#include "frontend/settings.h"
#include "platform/platform.h"
#include "report/report.h"

namespace qv {

/// The file a log argument names: standard input's file for "-".
FileId logFileId(const char* logArgument);

/// Standard output's file, when it is a regular file.
FileId standardOutputId(const Console& console);

/// A single-file run whose log is standard output's file would grow it
/// without end: true (after a diagnostic) when that is so. Nothing of the
/// report may be written then.
bool logIsStandardOutput(const char* logArgument, Console& console);

/// The output file and the side outputs, each against the log (a single
/// one) and against those before it, by identity or by spelling: a clash
/// stops the run before any of them is created or truncated.
void refuseClashingOutputs(const char* logArgument, const RunSettings& settings, Console& console);

/// A pattern run skips a match that is the output file or a side output
/// under its own name; a match that is one of them under another name (a
/// symbolic or hard link) would be truncated first, so the run stops here,
/// before anything is opened.
void refuseLinkedOutputs(const char* pattern, const RunSettings& settings, Console& console);

} // namespace qv
