// POSIX side of the platform layer.
#include "platform/platform.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qv {

std::FILE* openSharedForRead(const char* path) {
    return std::fopen(path, "rb");
}

std::string lastErrorText() {
    return std::strerror(errno);
}

bool replaceFile(const char* from, const char* to, std::string* whyNot) {
    if (std::rename(from, to) == 0)
        return true;
    if (whyNot)
        *whyNot = lastErrorText();
    return false;
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

std::unique_ptr<FileSearch> findFirstFile(const char* pattern, std::string& firstPath) {
    const std::string_view full(pattern);
    const std::size_t dirLength = directoryPartLength(full, false);
    const std::string dir(full.substr(0, dirLength));
    const std::string_view namePattern = full.substr(dirLength);
    DIR* d = opendir(dir.empty() ? "." : dir.c_str());
    if (!d)
        return nullptr;
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
