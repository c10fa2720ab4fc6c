// The option pass over arguments 2 to the last.
#pragma once

namespace qv {

/// Acts on each slash option in order; unknown arguments are ignored.
void optionPass(int argc, const char* const* argv);

} // namespace qv
