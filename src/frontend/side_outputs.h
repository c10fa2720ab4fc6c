// The side outputs of the ROUTER TAKES mode: the transitions CSV (/csv) and
// the delay chart (/plot). In the other modes neither file is touched.
#pragma once

namespace qv {

/// Start-up, right after the output file: creates the CSV and attaches the
/// collectors. A path that names the log, the output file or the other side
/// output ends the run before anything is truncated.
void openSideOutputs(const char* logArgument);

/// True when `path` is the CSV or the chart, which a pattern run skips.
bool isSideOutput(const char* path);

/// End of a normal run: closes the CSV and writes the chart.
void finishSideOutputs();

/// A fatal exit: the CSV keeps the rows written so far; no chart is written.
void abandonSideOutputs();

} // namespace qv
