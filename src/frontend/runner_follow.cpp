// /follow: a log read on as it is written, and in a pattern run the newest
// match, handed over to the next one when that appears.
#include "frontend/runner.h"

#include "search/line_reader.h"
#include "sources/gzip_source.h"

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

// What was reported of the file before goes out first; a FIFO or device now
// at the path is not opened for reading: it could block the run for ever.
std::FILE* FileRunner::reopenFollowed(const char* name, std::string& whyNot, bool& notRegular) {
    beforeWait();
    return openRegularForRead(name, &whyNot, &notRegular);
}

// Only the newest match is read, from its start; the older ones are left
// to a run without /follow.
void FileRunner::followNewestMatch(const char* pattern) {
    std::vector<std::string> matches;
    std::string whyNot;
    std::string path = newestMatch(pattern, matches, &whyNot);
    if (path.empty()) {
        reportNoMatch(pattern, whyNot);
        return;
    }
    if (matches.size() > 1)
        console_.diagnose("/follow reads only the newest match of '%s', %s; %zu older not "
                          "reported",
                          pattern, path.c_str(), matches.size() - 1);
    for (bool again = false;; again = true) {
        patternWatch_.pattern = pattern;
        patternWatch_.followed = path;
        patternWatch_.nextLook = std::chrono::steady_clock::now() + kPatternLook;
        const FollowEnd end = processFile(path.c_str(), again);
        if (end == FollowEnd::Superseded)
            path = patternWatch_.newer;
        else if (end != FollowEnd::Truncated && end != FollowEnd::Replaced)
            return;
    }
}

namespace {

// Newest by modification time, the later name on a tie: a new year's
// 01-01-27.log is newer than 12-31-26.log although it sorts first.
struct MatchAge {
    std::int64_t modified = -1;
    std::string path;
    bool operator<(const MatchAge& other) const {
        return modified != other.modified ? modified < other.modified : path < other.path;
    }
};

MatchAge ageOf(const std::string& path) {
    return {modificationTimeOf(path.c_str()), path};
}

} // namespace

// The newest match, its outputs left out; empty when there is none.
// `matches` gets every match.
std::string FileRunner::newestMatch(const char* pattern, std::vector<std::string>& matches,
                                    std::string* whyNot) const {
    matches = listMatches(pattern, whyNot);
    MatchAge newest;
    for (std::size_t i = 0; i < matches.size(); ++i) {
        const MatchAge age = ageOf(matches[i]);
        if (i == 0 || newest < age)
            newest = age;
    }
    return newest.path;
}

// Each group is reported the moment its last line is read: whatever the
// scan wrote goes out before the wait for the next line. A write that failed
// ends the run here: the program's end says "Error writing" for standard
// output and the output file, the side outputs say it themselves.
void FileRunner::beforeWait() {
    console_.flush();
    if (console_.failed())
        throw ProgramExit{1};
    if (outputFile_) {
        outputFile_->flush();
        if (outputFile_->failed())
            throw ProgramExit{1};
    }
    sideOutputs_.flush();
    sideOutputs_.progress(linesRead(), lineHits_);
    sideOutputs_.tick(std::chrono::system_clock::now());
}

bool FileRunner::stopRequested() {
    return stopKeys_ && stopKeys_->requested();
}

// Another match hands over once it is newer than the followed file.
bool FileRunner::superseded() {
    PatternWatch& watch = patternWatch_;
    const auto now = std::chrono::steady_clock::now();
    if (!watch.pattern || now < watch.nextLook)
        return false;
    watch.nextLook = now + kPatternLook;
    std::vector<std::string> matches;
    const std::string newest = newestMatch(watch.pattern, matches);
    if (newest.empty() || newest == watch.followed)
        return false;
    // A followed file moved away (a rotation) has no age at its path: it is
    // read on rather than handed over to an older match.
    const MatchAge followed = ageOf(watch.followed);
    if (followed.modified < 0 || !(followed < ageOf(newest)))
        return false;
    watch.newer = newest;
    return true;
}

} // namespace qv
