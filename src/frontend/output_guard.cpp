#include "frontend/output_guard.h"

#include <filesystem>
#include <string>
#include <vector>

namespace qv {

namespace {

namespace fs = std::filesystem;

// Enough for any honest chain; a loop of links ends here too.
constexpr int kMaxLinks = 40;

// Made absolute and lexically normal: "./logs/a.log" is "logs/a.log".
fs::path plainSpelling(const std::string& path) {
    std::error_code ec;
    return fs::absolute(path, ec).lexically_normal();
}

// Two names that lead to one place, whether or not a file is there yet.
bool sameSpelling(const std::string& a, const std::string& b) {
    return resolvedPath(a) == resolvedPath(b);
}

} // namespace

std::string resolvedPath(const std::string& path) {
    std::error_code ec;
    fs::path at = fs::absolute(path, ec);
    if (ec)
        return path;
    for (int hop = 0; hop < kMaxLinks && fs::is_symlink(fs::symlink_status(at, ec)); ++hop) {
        const fs::path target = fs::read_symlink(at, ec);
        if (ec)
            break;
        at = target.is_absolute() ? target : at.parent_path() / target;
    }
    const fs::path real = fs::weakly_canonical(at, ec);
    return (ec ? at : real).lexically_normal().string();
}

FileId logFileId(const char* logArgument) {
    return std::string_view(logArgument) == "-" ? regularFileIdOf(stdin) : fileIdOf(logArgument);
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

OutputGuard::OutputGuard(const RunSettings& settings, Console& console)
    : settings_(settings), console_(console), standardOutput_(standardOutputId(console)) {
    for (WrittenFile& file : writtenFiles(settings)) {
        std::string resolved = resolvedPath(file.path);
        const FileId id = fileIdOf(file.path.c_str());
        outputs_.push_back({std::move(file), std::move(resolved), id});
    }
}

bool OutputGuard::sameOutput(const Output& output, const char* path, FileId id) const {
    return output.id == id || output.resolved == resolvedPath(path);
}

void OutputGuard::refuseLog(const char* logArgument) const {
    const bool standardInput = std::string_view(logArgument) == "-";
    const FileId log = logFileId(logArgument);
    for (const Output& o : outputs_)
        if (log == o.id || (!standardInput && sameSpelling(o.file.path, logArgument)))
            fatal(console_, "", "%s file %s is the log file\n", o.file.what, o.file.path.c_str());
}

void OutputGuard::refuseClashes(const char* logArgument) {
    if (!settings_.multiFile) {
        refuseLog(logArgument);
        for (const std::string& log : settings_.moreLogs)
            refuseLog(log.c_str());
    }
    for (std::size_t i = 0; i < outputs_.size(); ++i) {
        const Output& o = outputs_[i];
        const char* path = o.file.path.c_str();
        for (std::size_t j = 0; j < i; ++j)
            if (sameOutput(outputs_[j], path, o.id))
                fatal(console_, "", "%s file %s is the %s file\n", o.file.what, path,
                      outputs_[j].file.asOther);
    }
    if (settings_.multiFile)
        refuseLinkedMatches(logArgument);
}

// A pattern run skips a match that is an output under its own name; a match
// that is one under another name (a symbolic or hard link) would be
// truncated first, so the run stops here, before anything is opened.
void OutputGuard::refuseLinkedMatches(const char* pattern) {
    std::string match;
    std::unique_ptr<FileSearch> search = findFirstFile(pattern, match);
    if (!search)
        return;
    do {
        const FileId matchId = fileIdOf(match.c_str());
        for (const Output& o : outputs_) {
            if (!sameOutput(o, match.c_str(), matchId) ||
                plainSpelling(match) == plainSpelling(o.file.path))
                continue;
            const std::string reason = match + " is the same file under another name";
            fatal(console_, reason, "%s file %s is the log file\n", o.file.what,
                  o.file.path.c_str());
        }
    } while (findNextFile(*search, match));
}

void OutputGuard::outputsCreated() {
    for (Output& o : outputs_)
        o.id = fileIdOf(o.file.path.c_str());
}

bool OutputGuard::isOwnOutput(const char* path) const {
    const FileId id = fileIdOf(path);
    if (id == standardOutput_)
        return true;
    for (const Output& o : outputs_)
        if (o.id == id)
            return true;
    return false;
}

} // namespace qv
