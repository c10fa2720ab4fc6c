#include "frontend/output_guard.h"

#include "platform/replacing_file.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
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

// Empty, or beginning as the output begins: what an earlier run left.
bool holdsEarlierOutput(const std::string& path, std::string_view firstBytes) {
    std::ifstream in(path, std::ios::binary);
    std::string start(firstBytes.size(), '\0');
    in.read(start.data(), static_cast<std::streamsize>(start.size()));
    const std::size_t got = static_cast<std::size_t>(in.gcount());
    return got == 0 || (got == start.size() && start == firstBytes);
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
    // A pipe too: reading it would wait for what only this run could write.
    const FileId output = fileOrPipeIdOf(console.stream());
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

// The run's own file (the report's standard output, the configuration)
// written over would be lost, or read back as the run goes on.
void OutputGuard::refuseOwnFiles() const {
    const FileId config = fileIdOf(settings_.cfgPath);
    for (const Output& o : outputs_) {
        const char* path = o.file.path.c_str();
        if (o.id == standardOutput_)
            fatal(console_, "", "%s file %s is standard output\n", o.file.what, path);
        if (config.known && sameOutput(o, settings_.cfgPath, config))
            fatal(console_, "", "%s file %s is the configuration file\n", o.file.what, path);
    }
}

void OutputGuard::refuseClashes(const char* logArgument) {
    refuseOwnFiles();
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
            if (!sameOutput(o, match.c_str(), matchId))
                continue;
            std::string reason;
            if (plainSpelling(match) != plainSpelling(o.file.path))
                reason = match + " is the same file under another name";
            else if (!holdsEarlierOutput(match, o.file.firstBytes))
                reason = match + " is a match of the pattern and no earlier output of quorvex";
            else
                continue; // an earlier run's output: passed over, then written again
            fatal(console_, reason, "%s file %s is the log file\n", o.file.what,
                  o.file.path.c_str());
        }
    } while (findNextFile(*search, match));
}

void OutputGuard::refuseAsLog(const char* path) const {
    if (std::string_view(path) == "-")
        return;
    if (fileIdOf(path) == standardOutput_)
        fatal(console_, "", "log file %s is also standard output\n", path);
    refuseLog(path);
}

void OutputGuard::outputsCreated() {
    for (Output& o : outputs_) {
        o.id = fileIdOf(o.file.path.c_str());
        if (o.file.replacedAtomically)
            temporaries_.push_back(fileIdOf(ReplacingFile::temporaryPathFor(o.file.path).c_str()));
    }
}

bool OutputGuard::isOwnOutput(const char* path) const {
    const FileId id = fileIdOf(path);
    if (id == standardOutput_)
        return true;
    std::string resolved; // looked up once, for the outputs renamed over
    for (const Output& o : outputs_) {
        if (o.id == id)
            return true;
        // Each rename over it (and each new temporary file) gives it a new
        // identity; its name stays.
        if (!o.file.replacedAtomically)
            continue;
        if (resolved.empty())
            resolved = resolvedPath(path);
        if (resolved == o.resolved ||
            resolved == resolvedPath(ReplacingFile::temporaryPathFor(o.file.path)))
            return true;
    }
    return std::find(temporaries_.begin(), temporaries_.end(), id) != temporaries_.end();
}

} // namespace qv
