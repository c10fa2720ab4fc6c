// POSIX side of the platform layer.
#include "platform/platform.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#if defined(__linux__)
#include <sched.h>
#endif
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace qv {

std::FILE* openSharedForRead(const char* path) {
    return std::fopen(path, "rb");
}

std::FILE* openRegularForRead(const char* path, std::string* whyNot, bool* notRegular) {
    const int fd = open(path, O_RDONLY | O_NONBLOCK);
    if (fd < 0) {
        if (whyNot)
            *whyNot = lastErrorText();
        return nullptr;
    }
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        const bool directory = S_ISDIR(st.st_mode);
        close(fd);
        if (whyNot)
            *whyNot = directory ? "is a directory" : "not a regular file";
        if (notRegular)
            *notRegular = !directory;
        return nullptr;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    std::FILE* f = fdopen(fd, "rb");
    if (!f) {
        if (whyNot)
            *whyNot = lastErrorText();
        close(fd);
        return nullptr;
    }
    std::setvbuf(f, nullptr, _IONBF, 0); // as openForRead
    return f;
}

std::string lastErrorText() {
    return std::strerror(errno);
}

bool isDirectory(std::FILE* file) {
    struct stat st {};
    return fstat(fileno(file), &st) != 0 || S_ISDIR(st.st_mode);
}

namespace {

FileId idOf(const struct stat& st) {
    return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino), true};
}

} // namespace

FileId fileIdOf(const char* path) {
    struct stat st {};
    return stat(path, &st) == 0 ? idOf(st) : FileId{};
}

FileId regularFileIdOf(std::FILE* stream) {
    struct stat st {};
    const int fd = fileno(stream);
    if (fd < 0 || fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        return {};
    return idOf(st);
}

FileId fileOrPipeIdOf(std::FILE* stream) {
    struct stat st {};
    const int fd = fileno(stream);
    if (fd < 0 || fstat(fd, &st) != 0 || !(S_ISREG(st.st_mode) || S_ISFIFO(st.st_mode)))
        return {};
    return idOf(st);
}

bool sameFile(const char* a, const char* b) {
    return fileIdOf(a) == fileIdOf(b);
}

void reopenClosedStandardStreams() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF)
            continue;
        // The lowest free descriptor is the closed one.
        const int opened = open("/dev/null", O_RDWR);
        if (opened >= 0 && opened != fd) {
            dup2(opened, fd);
            close(opened);
        }
    }
}

std::FILE* standardInput() {
    std::setvbuf(stdin, nullptr, _IONBF, 0); // LineReader buffers the input itself
    return stdin;
}

std::int64_t regularFileSize(std::FILE* file) {
    struct stat st {};
    if (fstat(fileno(file), &st) != 0 || !S_ISREG(st.st_mode))
        return -1;
    return static_cast<std::int64_t>(st.st_size);
}

bool consoleIsTerminal() {
    return isatty(STDOUT_FILENO) != 0;
}

bool errorsAreTerminal() {
    return isatty(STDERR_FILENO) != 0;
}

int usableCores() {
#if defined(__linux__)
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) == 0)
        return std::max(1, CPU_COUNT(&set));
#endif
    return static_cast<int>(std::max(1U, std::thread::hardware_concurrency()));
}

namespace {

// The matches are collected and sorted so that runs are repeatable.
class PosixSearch final : public FileSearch {
  public:
    explicit PosixSearch(std::vector<std::string> paths) : paths_(std::move(paths)) {}
    bool next(std::string& path) override {
        if (index_ >= paths_.size())
            return false;
        path = paths_[index_++];
        return true;
    }

  private:
    std::vector<std::string> paths_;
    std::size_t index_ = 0;
};

// Directories are never matched; nor are FIFOs, sockets and devices, whose
// reads could wait for ever. What cannot be examined (a dangling link) is
// yielded and fails to open.
bool skippedMatch(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0)
        return false;
    return S_ISDIR(st.st_mode) || S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode) ||
           S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode);
}

} // namespace

std::unique_ptr<FileSearch> findFirstFile(const char* pattern, std::string& firstPath,
                                          std::string* whyNot) {
    const std::string_view full(pattern);
    const std::size_t dirLength = directoryPartLength(full, false);
    const std::string dir(full.substr(0, dirLength));
    const std::string_view namePattern = full.substr(dirLength);
    DIR* d = opendir(dir.empty() ? "." : dir.c_str());
    if (!d) {
        // A folder that is not there holds no match; any other failure is
        // one the user must hear of.
        if (whyNot && errno != ENOENT)
            *whyNot = lastErrorText();
        return nullptr;
    }
    std::vector<std::string> names;
    while (const dirent* entry = readdir(d)) {
        const std::string_view name(entry->d_name);
        if (wildcardMatch(namePattern, name) && !skippedMatch(dir + std::string(name)))
            names.emplace_back(name);
    }
    closedir(d);
    if (names.empty())
        return nullptr;
    std::sort(names.begin(), names.end());
    for (std::string& name : names)
        name.insert(0, dir);
    auto search = std::make_unique<PosixSearch>(std::move(names));
    search->next(firstPath);
    return search;
}

} // namespace qv
