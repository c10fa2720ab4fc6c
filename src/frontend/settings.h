// The run settings: built-in defaults, then the configuration file, then the
// command line. The program owns the one record of a run; it is written
// during start-up only and read-only afterwards.
#pragma once

#include "sinks/delay_limits.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace qv {

enum class AnalyzeMode : int { RouterTakes = 0, CmdErrorTc = 1, CountTakes = 2, Grep = 3 };

/// Display names, each exactly 12 characters, indexed by AnalyzeMode.
extern const char* const analyzeModeNames[4];

inline constexpr const char* kVersion = "1.06";
inline constexpr const char* kDefaultStation = "WQVX";

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
    AnalyzeMode analyzeMode;
    // Side outputs of the ROUTER TAKES mode; paths are kept whole, unlike
    // the fixed-capacity fields above.
    bool csvEnabled;
    std::string csvPath;
    bool plotEnabled;
    std::string plotPath;
    bool hoursEnabled;
    std::string hoursPath;
    // /metrics is written in every mode.
    bool metricsEnabled;
    std::string metricsPath;
    DelayLimits limits; // ROUTER TAKES only
};

/// Restores the built-in defaults.
void resetRunSettings(RunSettings& settings);

/// Copies `value` into a fixed field, truncated to its capacity and cut at a
/// NUL byte, always terminated.
void copyField(char* field, std::size_t capacity, std::string_view value);

template <std::size_t N> void copyField(char (&field)[N], std::string_view value) {
    copyField(field, N, value);
}

} // namespace qv
