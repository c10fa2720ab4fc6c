#include "frontend/config_file.h"

#include "platform/text_writer.h"

#include <array>
#include <cstring>

namespace qv {

namespace {

struct ConfigKey {
    const char* name;
    char* field;
    std::size_t capacity;
    bool* flag;
    const char* message;
};

std::array<ConfigKey, 5> configKeys(RunSettings& s) {
    return {{
        {"SEARCHNAME", s.srchname, sizeof s.srchname, nullptr,
         "cfg-file override srchname to [%s]\n"},
        {"OUTFILENAME", s.outfilename, sizeof s.outfilename, &s.outputFileEnabled,
         "cfg-file override outfilename to [%s]\n"},
        {"OUTPUTTEXT", s.outputtext, sizeof s.outputtext, nullptr,
         "cfg-file override outputtext to [%s]\n"},
        {"LEVELTEXT", s.levelText, sizeof s.levelText, &s.levelFilter,
         "cfg-file override levelText to [%s]\n"},
        {"GREPTEXT", s.grepText, sizeof s.grepText, &s.levelFilter,
         "cfg-file override grepText to [%s]\n"},
    }};
}

constexpr std::size_t kMaxTokens = 21; // 20 possible keys, the last may take a value
constexpr std::size_t kMaxKeyTokens = 20;

// Splits at commas and newlines; runs of delimiters count as one.
std::size_t tokenize(std::string_view line, std::array<std::string_view, kMaxTokens>& tokens) {
    std::size_t count = 0;
    std::size_t i = 0;
    while (count < kMaxTokens) {
        i = line.find_first_not_of(",\n", i);
        if (i == std::string_view::npos)
            break;
        std::size_t end = line.find_first_of(",\n", i);
        if (end == std::string_view::npos)
            end = line.size();
        tokens[count++] = line.substr(i, end - i);
        i = end;
    }
    return count;
}

} // namespace

void applyConfigLine(std::string_view line, RunSettings& settings, Console& console) {
    // The line is a C string: a NUL byte ends it.
    line = line.substr(0, line.find('\0'));
    if (line.empty() || line.front() == '#')
        return;
    std::array<std::string_view, kMaxTokens> tokens;
    const std::size_t count = tokenize(line, tokens);
    const auto keys = configKeys(settings);
    for (std::size_t pos = 0; pos < kMaxKeyTokens && pos < count; ++pos) {
        if (tokens[pos] == "FPS" && pos + 1 < count) {
            std::string_view value = tokens[pos + 1];
            value = value.substr(0, value.find_last_not_of(" \t\r") + 1);
            applyFrameRate(settings, console, value, "FPS");
            console.printf("cfg-file override fps to [%s]\n",
                           frameRateName(settings.timebase.rate()));
            ++pos;
            continue;
        }
        for (const ConfigKey& key : keys) {
            if (tokens[pos] != key.name || pos + 1 >= count)
                continue;
            copyField(key.field, key.capacity, tokens[pos + 1]);
            if (key.flag)
                *key.flag = true;
            console.printf(key.message, key.field);
            ++pos; // the value is never itself taken as a key
            break;
        }
    }
}

void readConfigFile(LineReader& configFile, RunSettings& settings, Console& console) {
    std::string_view line;
    while (configFile.next(line))
        applyConfigLine(line, settings, console);
}

bool writeDefaultConfig(Console& console) {
    TextFileWriter file("qv.cfg");
    if (!file.isOpen()) {
        console.printf("Error opening cfg file qv.cfg\n");
        console.diagnose("Error opening cfg file qv.cfg: %s", file.errorText().c_str());
        return false;
    }
    file.write(console.format("#SEARCHNAME,%s\n", kDefaultStation));
    file.write("#OUTFILENAME,out.txt\n"
               "#OUTPUTTEXT,dst 0000\n"
               "#LEVELTEXT,lev 00\n"
               "GREPTEXT,greptext\n");
    if (!file.close()) {
        console.printf("Error writing %s\n", "qv.cfg");
        console.diagnose("Error writing qv.cfg: %s", file.errorText().c_str());
        return false;
    }
    return true;
}

} // namespace qv
