// The run settings: built-in defaults, then the configuration file, then the
// command line. The program owns the one record of a run; it is written
// during start-up only and read-only afterwards.
#pragma once

#include "report/report.h"
#include "sinks/delay_limits.h"
#include "timebase/timebase.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace qv {

enum class AnalyzeMode : int { RouterTakes = 0, CmdErrorTc = 1, CountTakes = 2, Grep = 3 };

/// Display names, each exactly 12 characters, indexed by AnalyzeMode.
extern const char* const analyzeModeNames[4];

inline constexpr const char* kVersion = "1.06";
inline constexpr const char* kDefaultStation = "WQVX";

/// The side outputs, in the order of their registry (frontend/side_outputs.cpp).
enum SideOutputSlot : int { kCsvSlot, kChartSlot, kHoursSlot, kMetricsSlot, kSideOutputSlots };

struct SideOutputPath {
    bool enabled = false;
    std::string path;
};

struct RunSettings {
    char srchname[52];
    char outfilename[52];
    char outputtext[52];
    char levelText[52];
    char grepText[100];
    char cfgPath[50];
    bool outputFileEnabled;
    bool levelFilter;
    int summaryMode; // 0 standard, anything else summary mode
    bool excelMode;
    bool grepQuiet;
    bool multiFile;
    bool follow; // /follow: wait at the end of the log for more
    // Bare arguments after argument 1 that name files: what a shell leaves of
    // an unquoted pattern. Read after argument 1, in this order.
    std::vector<std::string> moreLogs;
    AnalyzeMode analyzeMode;
    // Side outputs (the ROUTER TAKES mode's, and /metrics), indexed by SideOutputSlot; paths
    // are kept whole, unlike the fixed-capacity fields above.
    SideOutputPath sideOutputs[kSideOutputSlots];
    DelayLimits limits; // ROUTER TAKES only
    Timebase timebase;  // /fps or FPS: the station's frame rate
};

/// Sets the frame rate from the value of /fps or FPS; a value that is no
/// rate stops the run (exit 1) before any file is created.
void applyFrameRate(RunSettings& settings, Console& console, std::string_view value,
                    const char* where);

/// Restores the built-in defaults.
void resetRunSettings(RunSettings& settings);

/// Copies `value` into a fixed field, truncated to its capacity and cut at a
/// NUL byte, always terminated.
void copyField(char* field, std::size_t capacity, std::string_view value);

template <std::size_t N> void copyField(char (&field)[N], std::string_view value) {
    copyField(field, N, value);
}

} // namespace qv
