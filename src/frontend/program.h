// The program entry: start-up steps, settings echo and dispatch.
#pragma once

namespace qv {

/// Runs the whole program on an argument vector; returns the exit code.
int runProgram(int argc, const char* const* argv);

/// The sixteen-line usage text.
void printUsage();

} // namespace qv
