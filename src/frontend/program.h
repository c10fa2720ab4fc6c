// The program entry: start-up steps, settings echo and dispatch.
#pragma once

#include "report/report.h"

namespace qv {

/// Runs the whole program on an argument vector with `console` as its
/// standard output; returns the exit code.
int runProgram(int argc, const char* const* argv, Console& console);

/// The sixteen-line usage text.
void printUsage(Console& console);

} // namespace qv
