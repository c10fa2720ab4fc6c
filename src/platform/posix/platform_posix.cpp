// POSIX side of the platform layer.
#include "platform/platform.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qv {

std::string lastErrorText() {
    return std::strerror(errno);
}

bool isDirectory(std::FILE* file) {
    struct stat st {};
    return fstat(fileno(file), &st) != 0 || S_ISDIR(st.st_mode);
}

bool sameFile(const char* a, const char* b) {
    struct stat sa {
    }, sb{};
    if (stat(a, &sa) != 0 || stat(b, &sb) != 0)
        return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
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

bool isDirectoryPath(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
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
        if (wildcardMatch(namePattern, name) && !isDirectoryPath(dir + std::string(name)))
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
