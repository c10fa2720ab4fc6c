// A run must never read what it writes: the output file, the side outputs
// and standard output (when it is a regular file) are checked against the
// logs before anything is opened or written.
#pragma once

#include "frontend/settings.h"
#include "platform/platform.h"
#include "report/report.h"

namespace qv {

/// Standard output's file, when it is a regular file.
FileId standardOutputId(const Console& console);

/// A single-file run whose log is standard output's file would grow it
/// without end: true (after a diagnostic) when that is so. Nothing of the
/// report may be written then.
bool logIsStandardOutput(const char* logArgument, Console& console);

/// A pattern run skips a match that is the output file or a side output
/// under its own name; a match that is one of them under another name (a
/// symbolic or hard link) would be truncated first, so the run stops here,
/// before anything is opened.
void refuseLinkedOutputs(const char* pattern, const RunSettings& settings, Console& console);

} // namespace qv
