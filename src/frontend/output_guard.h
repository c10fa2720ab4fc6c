// A run must never read what it writes: the output file, the side outputs
// and standard output (when it is a regular file) are checked against the
// logs, the configuration file and each other before anything is opened or
// written, and every log the run opens is checked again.
#pragma once

#include "frontend/settings.h"
#include "frontend/side_outputs.h"
#include "platform/platform.h"
#include "report/report.h"

#include <string>
#include <vector>

namespace qv {

/// The file a log argument names: standard input's file for "-".
FileId logFileId(const char* logArgument);

/// Standard output's file, when it is a regular file.
FileId standardOutputId(const Console& console);

/// A single-file run whose log is standard output's file would grow it
/// without end: true (after a diagnostic) when that is so. Nothing of the
/// report may be written then.
bool logIsStandardOutput(const char* logArgument, Console& console);

/// Where `path` leads once every symbolic link on the way is followed, also
/// one whose target does not exist yet; absolute and lexically normal.
std::string resolvedPath(const std::string& path);

class OutputGuard {
  public:
    /// After the option pass: the files the run will write.
    OutputGuard(const RunSettings& settings, Console& console);

    /// Start-up, before any output is created: each output against the log
    /// (a single one, or every match of a pattern under another name),
    /// against those before it, by identity or by where its name leads. A
    /// clash ends the run before anything is truncated.
    void refuseClashes(const char* logArgument);

    /// The outputs exist now: their identities, looked up once (a followed
    /// pattern asks four times a second).
    void outputsCreated();

    /// Every log as it is opened, a followed path opened again included: one
    /// that is an output or standard output's file, under any name (also a
    /// link whose target is not there yet), ends the run.
    void refuseAsLog(const char* path) const;

    /// True when `path` is standard output's file or one of the outputs,
    /// which a pattern run passes over.
    bool isOwnOutput(const char* path) const;

  private:
    struct Output {
        WrittenFile file;
        std::string resolved;
        FileId id;
    };
    void refuseLog(const char* logArgument) const;
    void refuseOwnFiles() const;
    bool sameOutput(const Output& output, const char* path, FileId id) const;
    void refuseLinkedMatches(const char* pattern);

    const RunSettings& settings_;
    Console& console_;
    std::vector<Output> outputs_;
    std::vector<FileId> temporaries_; // written, then renamed over an output
    FileId standardOutput_;
};

} // namespace qv
