// The side outputs of the ROUTER TAKES mode and their registry: one entry
// per side output says its option, its wording, and how it is opened; the
// open output says what it does at a flush, a tick of the clock while a log
// is followed, the end of the run and a fatal exit. In the other modes none
// of them is touched.
#pragma once

#include "frontend/settings.h"
#include "platform/platform.h"
#include "platform/text_writer.h"
#include "report/report.h"
#include "transitions/group_log.h"

#include <array>
#include <chrono>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace qv {

/// Closes and drops `file`, if open. A file that could not be written fully
/// must not pass for a success: that ends the run with "Error writing".
template <typename File> void closeOrFail(std::unique_ptr<File>& file, Console& console) {
    if (!file)
        return;
    const bool ok = file->close();
    const std::string path = file->path();
    const std::string reason = file->errorText();
    file.reset();
    if (!ok)
        fatal(console, reason, "Error writing %s\n", path.c_str());
}

/// One open side output. Dropping it without `finish` is the fatal exit:
/// what was written so far stays, nothing more is written.
class SideOutput {
  public:
    virtual ~SideOutput() = default;
    /// Hands it every timed and broken group.
    virtual void attach(GroupLog& groupLog) = 0;
    /// A log begins; where the run stands (reads of the current log, what a
    /// line scan counted over the run); a log has been read to its end.
    virtual void beginLog() {}
    virtual void progress(std::int64_t fileLines, std::int64_t found) {
        (void)fileLines;
        (void)found;
    }
    virtual void endLog() {}
    /// Writes what it holds so far out, before a followed log is waited on.
    virtual void flush() {}
    /// Called at every wait of a followed log with the wall clock, for an
    /// output renewed on a timer (such as at most every 10 s).
    virtual void tick(std::chrono::system_clock::time_point now) { (void)now; }
    /// End of a normal run; a failure ends the run with "Error writing".
    virtual void finish(Console& console) = 0;
};

/// The registry's entry for one side output.
struct SideOutputKind {
    SideOutputSlot slot;
    const char* option;  // "/csv"
    const char* what;    // "CSV file x is the log file"
    const char* asOther; // "Chart file x is the CSV file"
    const char* confirm; // printed when the option is given, with the path
    /// What the file begins with: a match of a pattern that does not is a
    /// log, never written over.
    const char* firstBytes;
    /// Written whole to a temporary file beside it, then renamed over it.
    bool replacedAtomically;
    /// Written in every mode, not only in ROUTER TAKES.
    bool everyMode;
    /// Creates the file (or its temporary file); ends the run with "Error
    /// opening" when it cannot.
    std::unique_ptr<SideOutput> (*open)(const std::string& path, const RunSettings& settings,
                                        Console& console);
};

/// Every side output, in the order they are checked, opened and named.
std::span<const SideOutputKind> sideOutputKinds();

/// The registry's entry for an option ("/csv"); nullptr for any other word.
const SideOutputKind* findSideOutput(std::string_view option);

/// A file the run writes, for the guard: the output file, then every side
/// output given, in the registry's order.
struct WrittenFile {
    const char* what;
    const char* asOther;
    const char* firstBytes;
    std::string path;
    bool replacedAtomically = false; // its temporary file is the run's too
};
std::vector<WrittenFile> writtenFiles(const RunSettings& settings);

/// Whether the run's mode writes this side output.
bool writtenIn(const SideOutputKind& kind, const RunSettings& settings);

class SideOutputs {
  public:
    SideOutputs(const RunSettings& settings, Console& console)
        : settings_(settings), console_(console) {}

    /// Start-up, before the output file (the guard has checked the paths):
    /// creates the temporary files of the outputs replaced whole, which
    /// empty nothing, so that a folder that cannot take one stops the run
    /// before any output is truncated.
    void openReplacedWhole();
    /// Right after the output file: creates the others, truncating them.
    void openTruncated();

    /// Hands every timed group to the open side outputs.
    void attach(GroupLog& groupLog);

    /// Around each log, and where the run stands (see SideOutput).
    void beginLog();
    void progress(std::int64_t fileLines, std::int64_t found);
    void endLog();

    /// Writes the rows so far out to their files.
    void flush();

    /// A followed log is about to be waited on: the clock, for the outputs
    /// renewed on a timer.
    void tick(std::chrono::system_clock::time_point now);

    /// End of a normal run: closes or writes each one.
    void finish();

    /// A fatal exit: what was written so far stays; nothing more is written.
    void abandon() {
        for (auto& output : open_)
            output.reset();
    }

  private:
    void open(bool replacedWhole);
    template <class Action> void forEachOpen(Action action) {
        for (const auto& output : open_)
            if (output)
                action(*output);
    }

    const RunSettings& settings_;
    Console& console_;
    // By slot: whatever the order of creation, they are handed the groups,
    // written and finished in the registry's order.
    std::array<std::unique_ptr<SideOutput>, kSideOutputSlots> open_;
};

} // namespace qv
