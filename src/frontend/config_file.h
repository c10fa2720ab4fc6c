// The comma-separated configuration file and the starter file of /gencfg.
#pragma once

#include "frontend/settings.h"
#include "report/report.h"
#include "search/line_reader.h"

#include <string_view>

namespace qv {

/// Reads the open configuration file to its end and updates the settings.
void readConfigFile(LineReader& configFile, RunSettings& settings, Console& console);

/// Applies the keys of one read (comments skipped); used by readConfigFile.
void applyConfigLine(std::string_view line, RunSettings& settings, Console& console);

/// Writes the five-line starter file "qv.cfg"; false when it cannot be created.
bool writeDefaultConfig(Console& console);

} // namespace qv
