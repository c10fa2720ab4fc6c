// /follow: a log read on as it is written, and in a pattern run the newest
// match, handed over to the next one when that appears.
#include "frontend/runner.h"

#include "platform/gzip_source.h"
#include "search/line_reader.h"

#include <algorithm>

namespace qv {

namespace {

// How often a followed pattern is searched again for a newer match.
constexpr std::chrono::milliseconds kPatternLook{250};

} // namespace

// Only regular files grow in place; standard input and devices end when
// their writer does, and are read as without /follow.
bool FileRunner::followed(const char* name, std::FILE* file) {
    if (!settings_.follow)
        return false;
    const bool standardInputLog = std::string_view(name) == "-";
    if (standardInputLog) {
        console_.diagnose("/follow ignored for standard input: read to its end");
        return false;
    }
    if (!regularFileIdOf(file).known) {
        console_.diagnose("/follow ignored for %s: not a regular file, read to its end", name);
        return false;
    }
    return true;
}

FollowEnd FileRunner::followFile(const char* name, std::FILE* file, std::string& readError) {
    if (!stopKeys_)
        stopKeys_ = std::make_unique<StopKeys>();
    FollowSource source(file, name, *this);
    {
        const std::unique_ptr<ByteSource> log = openLogSource(source);
        // No read ahead: its thread would sit waiting for the writer.
        LineReader logFile(*log, kLogReadMax, kReadBufferSize);
        runScan(name, logFile);
        if (logFile.readError()) {
            readError = logFile.readErrorText();
            return FollowEnd::EndOfFile;
        }
    }
    source.waitForEnd(); // the scan ends early at a Ctrl-Z
    return source.end();
}

// Only the newest match is read, from its start; the older ones are left
// to a run without /follow.
void FileRunner::followNewestMatch(const char* pattern) {
    std::vector<std::string> matches;
    std::string path = newestMatch(pattern, matches);
    if (path.empty()) {
        reportNoMatch(pattern);
        return;
    }
    if (matches.size() > 1)
        console_.diagnose("/follow reads only the newest match of '%s', %s; %zu older not "
                          "reported",
                          pattern, path.c_str(), matches.size() - 1);
    for (;;) {
        patternWatch_.pattern = pattern;
        patternWatch_.followed = path;
        patternWatch_.knownMatches = std::move(matches);
        patternWatch_.nextLook = std::chrono::steady_clock::now() + kPatternLook;
        const FollowEnd end = processFile(path.c_str());
        if (end == FollowEnd::Superseded)
            path = patternWatch_.newer;
        else if (end != FollowEnd::Truncated && end != FollowEnd::Replaced)
            return;
        matches.clear();
        newestMatch(pattern, matches);
    }
}

// The last match in the pattern run's own order, its outputs left out;
// empty when there is none. `matches` gets every match.
std::string FileRunner::newestMatch(const char* pattern, std::vector<std::string>& matches) const {
    std::string path;
    std::unique_ptr<FileSearch> search = findFirstFile(pattern, path);
    if (!search)
        return {};
    do {
        if (!isOwnOutput(path.c_str()))
            matches.push_back(path);
    } while (findNextFile(*search, path));
    return matches.empty() ? std::string() : matches.back();
}

// Each group is reported the moment its last line is read: whatever the
// scan wrote goes out before the wait for the next line.
void FileRunner::beforeWait() {
    console_.flush();
    if (outputFile_)
        outputFile_->flush();
    sideOutputs_.flush();
    if (MetricsFile* metrics = sideOutputs_.metrics()) {
        metrics->fileLines(linesRead());
        metrics->found(lineHits_);
        sideOutputs_.pollMetrics();
    }
}

bool FileRunner::stopRequested() {
    return stopKeys_ && stopKeys_->requested();
}

// A newer match is the last match when it is neither the followed file nor
// one that was there when that was chosen: a followed file that is moved
// away does not hand over to an older one.
bool FileRunner::superseded() {
    PatternWatch& watch = patternWatch_;
    const auto now = std::chrono::steady_clock::now();
    if (!watch.pattern || now < watch.nextLook)
        return false;
    watch.nextLook = now + kPatternLook;
    std::vector<std::string> matches;
    const std::string newest = newestMatch(watch.pattern, matches);
    if (newest.empty() || newest == watch.followed ||
        std::find(watch.knownMatches.begin(), watch.knownMatches.end(), newest) !=
            watch.knownMatches.end())
        return false;
    watch.newer = newest;
    return true;
}

} // namespace qv
