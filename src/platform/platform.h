// The thin platform layer: text-mode reading and writing, file identity and
// the wildcard search. Everything above it is platform-neutral.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace qv {

/// The system's words for why the call that just failed failed: strerror of
/// errno on POSIX, the system message on Windows. Call it right away.
std::string lastErrorText();

/// fopen(path, "rb"), except that on Windows the writer of the file may
/// still rename or delete it while it is open, as on POSIX: a log that is
/// followed for hours must not stop the automation from moving it.
std::FILE* openSharedForRead(const char* path);

/// Opens a file for reading in binary mode; the text-mode conversion is done
/// by LineReader so that every platform reads the same lines. A directory
/// counts as a file that cannot be opened. Returns nullptr on failure, with
/// the reason in `whyNot` when it is given.
std::FILE* openForRead(const char* path, std::string* whyNot = nullptr);

/// Closes an open file when it goes, also when an exception ends the run
/// early; standard input is the process's and stays open.
struct CloseFile {
    void operator()(std::FILE* file) const {
        if (file != stdin)
            std::fclose(file);
    }
};
using OpenFile = std::unique_ptr<std::FILE, CloseFile>;

/// openForRead for a file that must be a regular one (the configuration file,
/// a followed log opened again): a FIFO, socket or device is refused without
/// waiting on it (a FIFO without a writer would block the open), with
/// `notRegular` set; a directory is refused as by openForRead.
std::FILE* openRegularForRead(const char* path, std::string* whyNot, bool* notRegular);

/// Opens (creates or truncates) a file for writing in binary mode; newline
/// conversion is done by TextFileWriter. A regular file is locked (advisory:
/// flock, LockFileEx) before it is truncated, so that a second run writing
/// the same file fails here and destroys nothing; on POSIX a device or FIFO
/// is shared, not locked. Returns nullptr on failure,
/// with the reason in `whyNot` when it is given.
std::FILE* openForWrite(const char* path, std::string* whyNot = nullptr);

/// Why `openForWrite` refuses a file another run holds.
inline constexpr const char* kLockedText = "another quorvex run is writing it";

/// Puts the closed file `from` in place of `to` in one step (rename; on
/// Windows MoveFileEx replacing an existing file, retried briefly while
/// another program holds it open). A reader sees the old file or the new
/// one, never half of it.
bool replaceFile(const char* from, const char* to, std::string* whyNot = nullptr);

/// Modification time of what `path` names, in nanoseconds since the epoch;
/// -1 when it cannot be examined.
std::int64_t modificationTimeOf(const char* path);

/// True when the open file is a directory (or cannot be examined).
bool isDirectory(std::FILE* file);

/// The identity of a file: device and inode on POSIX, volume serial number
/// and file index on Windows. Two names with one identity are one file.
struct FileId {
    std::uint64_t volume = 0;
    std::uint64_t index = 0;
    bool known = false;
    bool operator==(const FileId& other) const {
        return known && other.known && volume == other.volume && index == other.index;
    }
};

/// The identity of what `path` names, links followed; unknown when it
/// cannot be examined.
FileId fileIdOf(const char* path);

/// The identity of an open stream when it is a regular file; unknown for a
/// terminal, pipe, device or closed stream.
FileId regularFileIdOf(std::FILE* stream);

/// The identity of an open stream when it is a regular file, a pipe or a
/// FIFO; unknown for a terminal, device or closed stream (and for pipes on
/// Windows, which have no file identity).
FileId fileOrPipeIdOf(std::FILE* stream);

/// Opens the null device on each of the standard descriptors 0 to 2 that is
/// closed, so that no file the program opens can take its place.
void reopenClosedStandardStreams();

/// Standard input, switched to binary mode where the platform has a text one.
std::FILE* standardInput();

/// True when both paths exist and name the same file (device and inode on
/// POSIX, volume and file index on Windows), whatever their spelling.
bool sameFile(const char* a, const char* b);

/// Size in bytes of an open regular file; -1 for pipes, devices and other
/// files without a meaningful size, or when it cannot be learned.
std::int64_t regularFileSize(std::FILE* file);

/// True when standard output is a terminal (then it stays line-buffered).
bool consoleIsTerminal();
/// True when standard error is a terminal (then it stays unbuffered).
bool errorsAreTerminal();

/// The processors this process may run on (its affinity, which `taskset`,
/// a container's CPU set or `start /affinity` narrow), at least 1. Threads
/// beyond it would only take turns, and a waiting one spins in vain.
int usableCores();

/// The stop keys of a followed run, caught while the object lives: the first
/// Ctrl-C (SIGINT, SIGTERM, or SIGHUP unless ignored, on POSIX; Ctrl-C or
/// Ctrl-Break at the Windows console) asks the run to stop and wakes a waiting `FileWatch`; the
/// second ends the process at once with exit code 130. The default handling comes back when the
/// object goes. One at a time.
class StopKeys {
  public:
    StopKeys();
    ~StopKeys();
    StopKeys(const StopKeys&) = delete;
    StopKeys& operator=(const StopKeys&) = delete;

    /// True once the first stop key came.
    bool requested() const;

  private:
    struct Saved; // the handling to restore
    std::unique_ptr<Saved> saved_;
};

/// Change notification for the folder of a followed file (inotify on Linux,
/// ReadDirectoryChangesW on Windows). Only a hint: it comes late or never
/// for files on network shares or files their writer holds open, so the
/// caller looks at the file after every wait all the same.
class FileWatch {
  public:
    virtual ~FileWatch() = default;
    /// Returns when something in the folder may have changed, when a stop
    /// key came, or after `milliseconds` at the latest.
    virtual void wait(int milliseconds) = 0;
};

/// Watches the folder `path` is in. Where the folder cannot be watched the
/// watch only sleeps (and still wakes for a stop key). Never nullptr.
std::unique_ptr<FileWatch> watchFolderOf(const char* path);

/// One wildcard search over "*" and "?" in the last component of a pattern.
/// Directories are never yielded. `path` is what to open: the pattern's
/// directory part followed by the bare name.
class FileSearch {
  public:
    virtual ~FileSearch() = default;
    /// Yields the next match; false when there are no more.
    virtual bool next(std::string& path) = 0;
};

/// Starts a search; returns nullptr when nothing matches or the search
/// cannot be made, and then, when the pattern's folder is there but cannot be
/// read (no permission, a name too long, a file used as a folder), the
/// system's reason in `whyNot` when it is given. The first match is taken
/// with `findNextFile`.
std::unique_ptr<FileSearch> findFirstFile(const char* pattern, std::string& firstPath,
                                          std::string* whyNot = nullptr);
bool findNextFile(FileSearch& search, std::string& path);

/// Matches a bare name against a pattern component: "*" any run (also empty,
/// also a leading dot), "?" exactly one byte, everything else literal.
bool wildcardMatch(std::string_view pattern, std::string_view name);

/// Length of the directory part of a pattern: up to and including the last
/// "/" (and on Windows also "\\" and a drive's ":"). 0 when there is none.
std::size_t directoryPartLength(std::string_view pattern, bool backslashSeparates);

} // namespace qv
