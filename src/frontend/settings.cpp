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

} // namespace qv
