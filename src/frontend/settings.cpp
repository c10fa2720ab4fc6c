#include "frontend/settings.h"

#include <cstring>

namespace qv {

const char* const analyzeModeNames[4] = {"ROUTER TAKES", "CMD ERROR TC", "COUNT TAKES ",
                                         "GREP        "};

void copyField(char* field, std::size_t capacity, std::string_view value) {
    std::size_t length = value.size() < capacity - 1 ? value.size() : capacity - 1;
    if (const void* nul = std::memchr(value.data(), '\0', length))
        length = static_cast<std::size_t>(static_cast<const char*>(nul) - value.data());
    std::memcpy(field, value.data(), length);
    field[length] = '\0';
}

void resetRunSettings(RunSettings& settings) {
    settings = RunSettings{};
    copyField(settings.srchname, kDefaultStation);
    copyField(settings.outfilename, "out.txt");
    copyField(settings.outputtext, "dst 0130");
    copyField(settings.levelText, "lev 00");
    copyField(settings.grepText, "");
    copyField(settings.cfgPath, "qv.cfg");
    settings.analyzeMode = AnalyzeMode::RouterTakes;
}

void applyFrameRate(RunSettings& settings, Console& console, std::string_view value,
                    const char* where) {
    FrameRate rate = FrameRate::Fps30;
    if (!parseFrameRate(value, rate)) {
        console.diagnose("bad frame rate '%.*s' for %s: use 30, 29.97 or 25",
                         static_cast<int>(value.size()), value.data(), where);
        throw ProgramExit{1};
    }
    settings.timebase = Timebase(rate);
}

} // namespace qv
