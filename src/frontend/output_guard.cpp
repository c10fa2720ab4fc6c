#include "frontend/output_guard.h"

#include <filesystem>
#include <string>

namespace qv {

namespace {

// Both made absolute and lexically normal: "./logs/a.log" is "logs/a.log".
bool sameSpelling(const std::string& a, const std::string& b) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path pa = fs::absolute(a, ec).lexically_normal();
    const fs::path pb = fs::absolute(b, ec).lexically_normal();
    return !ec && pa == pb;
}

struct Written {
    const char* what; // the wording of the single-file refusal
    std::string path;
};

void refuseIfLinked(const std::string& match, const Written& written, Console& console) {
    if (written.path.empty() || !(fileIdOf(match.c_str()) == fileIdOf(written.path.c_str())) ||
        sameSpelling(match, written.path))
        return;
    const std::string reason = match + " is the same file under another name";
    fatal(console, reason, "%s file %s is the log file\n", written.what, written.path.c_str());
}

} // namespace

FileId standardOutputId(const Console& console) {
    return regularFileIdOf(console.stream());
}

bool logIsStandardOutput(const char* logArgument, Console& console) {
    const FileId output = standardOutputId(console);
    const bool standardInput = std::string_view(logArgument) == "-";
    const FileId log = standardInput ? regularFileIdOf(stdin) : fileIdOf(logArgument);
    if (!(log == output))
        return false;
    console.diagnose("log file %s is also standard output: not read", logArgument);
    return true;
}

void refuseLinkedOutputs(const char* pattern, const RunSettings& settings, Console& console) {
    const bool sides = settings.analyzeMode == AnalyzeMode::RouterTakes;
    const Written written[] = {
        {"Output", settings.outputFileEnabled ? settings.outfilename : ""},
        {"CSV", sides && settings.csvEnabled ? settings.csvPath : ""},
        {"Chart", sides && settings.plotEnabled ? settings.plotPath : ""},
        {"Hours", sides && settings.hoursEnabled ? settings.hoursPath : ""},
    };
    std::string match;
    std::unique_ptr<FileSearch> search = findFirstFile(pattern, match);
    if (!search)
        return;
    do {
        for (const Written& w : written)
            refuseIfLinked(match, w, console);
    } while (findNextFile(*search, match));
}

} // namespace qv
