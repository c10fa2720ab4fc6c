// The option pass over arguments 2 to the last.
#pragma once

#include "frontend/settings.h"
#include "report/report.h"

namespace qv {

/// Acts on each slash option in order; unknown arguments are ignored.
void optionPass(int argc, const char* const* argv, RunSettings& settings, Console& console);

} // namespace qv
