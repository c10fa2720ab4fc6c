#include "frontend/output_guard.h"

#include <filesystem>
#include <string>
#include <vector>

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

void refuseIfLinked(const std::string& match, FileId matchId, const Written& written,
                    FileId writtenId, Console& console) {
    if (written.path.empty() || !(matchId == writtenId) || sameSpelling(match, written.path))
        return;
    const std::string reason = match + " is the same file under another name";
    fatal(console, reason, "%s file %s is the log file\n", written.what, written.path.c_str());
}

// The run's files in the order they are opened; an empty path is not written.
std::vector<Written> writtenFiles(const RunSettings& settings) {
    const bool sides = settings.analyzeMode == AnalyzeMode::RouterTakes;
    return {
        {"Output", settings.outputFileEnabled ? settings.outfilename : ""},
        {"CSV", sides && settings.csvEnabled ? settings.csvPath : ""},
        {"Hours", sides && settings.hoursEnabled ? settings.hoursPath : ""},
        {"Chart", sides && settings.plotEnabled ? settings.plotPath : ""},
        {"Metrics", settings.metricsEnabled ? settings.metricsPath : ""},
    };
}

const char* otherName(const Written& written) {
    const std::string_view what = written.what;
    return what == "Output"  ? "output"
           : what == "CSV"   ? "CSV"
           : what == "Hours" ? "hours"
                             : "chart";
}

bool sameOutput(const std::string& a, const std::string& b) {
    return fileIdOf(a.c_str()) == fileIdOf(b.c_str()) || sameSpelling(a, b);
}

} // namespace

FileId logFileId(const char* logArgument) {
    return std::string_view(logArgument) == "-" ? regularFileIdOf(stdin) : fileIdOf(logArgument);
}

void refuseClashingOutputs(const char* logArgument, const RunSettings& settings, Console& console) {
    const std::vector<Written> written = writtenFiles(settings);
    const bool standardInput = std::string_view(logArgument) == "-";
    const FileId log = logFileId(logArgument);
    for (std::size_t i = 0; i < written.size(); ++i) {
        const Written& w = written[i];
        if (w.path.empty())
            continue;
        if (!settings.multiFile && (log == fileIdOf(w.path.c_str()) ||
                                    (!standardInput && sameSpelling(w.path, logArgument))))
            fatal(console, "", "%s file %s is the log file\n", w.what, w.path.c_str());
        for (std::size_t j = 0; j < i; ++j)
            if (!written[j].path.empty() && sameOutput(w.path, written[j].path))
                fatal(console, "", "%s file %s is the %s file\n", w.what, w.path.c_str(),
                      otherName(written[j]));
    }
}

FileId standardOutputId(const Console& console) {
    return regularFileIdOf(console.stream());
}

bool logIsStandardOutput(const char* logArgument, Console& console) {
    const FileId output = standardOutputId(console);
    if (!(logFileId(logArgument) == output))
        return false;
    console.diagnose("log file %s is also standard output: not read", logArgument);
    return true;
}

void refuseLinkedOutputs(const char* pattern, const RunSettings& settings, Console& console) {
    const std::vector<Written> written = writtenFiles(settings);
    std::vector<FileId> ids;
    for (const Written& w : written)
        ids.push_back(fileIdOf(w.path.c_str()));
    std::string match;
    std::unique_ptr<FileSearch> search = findFirstFile(pattern, match);
    if (!search)
        return;
    do {
        const FileId matchId = fileIdOf(match.c_str());
        for (std::size_t i = 0; i < written.size(); ++i)
            refuseIfLinked(match, matchId, written[i], ids[i], console);
    } while (findNextFile(*search, match));
}

} // namespace qv
