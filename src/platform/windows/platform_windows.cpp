// Windows side of the platform layer.
#include "platform/platform.h"

#include <io.h>
#include <sys/stat.h>
#include <windows.h>

namespace qv {

std::FILE* openForRead(const char* path) {
    std::FILE* f = std::fopen(path, "rb");
    if (!f)
        return nullptr;
    struct _stat64 st {};
    if (_fstat64(_fileno(f), &st) != 0 || (st.st_mode & _S_IFDIR) != 0) {
        std::fclose(f);
        return nullptr;
    }
    return f;
}

std::FILE* openForWrite(const char* path) {
    return std::fopen(path, "w+b");
}

namespace {

bool fileIndex(const char* path, BY_HANDLE_FILE_INFORMATION& info) {
    HANDLE h = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    const bool ok = GetFileInformationByHandle(h, &info) != 0;
    CloseHandle(h);
    return ok;
}

class WindowsSearch final : public FileSearch {
  public:
    WindowsSearch(HANDLE handle, std::string dir) : handle_(handle), dir_(std::move(dir)) {}
    ~WindowsSearch() override { FindClose(handle_); }
    WindowsSearch(const WindowsSearch&) = delete;
    WindowsSearch& operator=(const WindowsSearch&) = delete;

    // Yields the entry already in `data_` unless it is a directory, then moves on.
    bool take(std::string& path) {
        while (!exhausted_) {
            const bool directory = (data_.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
            const std::string name = data_.cFileName;
            exhausted_ = FindNextFileA(handle_, &data_) == 0;
            if (!directory) {
                path = dir_ + name;
                return true;
            }
        }
        return false;
    }
    bool next(std::string& path) override { return take(path); }
    WIN32_FIND_DATAA data_{};

  private:
    HANDLE handle_;
    std::string dir_;
    bool exhausted_ = false;
};

} // namespace

bool sameFile(const char* a, const char* b) {
    BY_HANDLE_FILE_INFORMATION ia{}, ib{};
    if (!fileIndex(a, ia) || !fileIndex(b, ib))
        return false;
    return ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber &&
           ia.nFileIndexHigh == ib.nFileIndexHigh && ia.nFileIndexLow == ib.nFileIndexLow;
}

bool consoleIsTerminal() {
    return _isatty(_fileno(stdout)) != 0;
}

std::unique_ptr<FileSearch> findFirstFile(const char* pattern, std::string& firstPath) {
    const std::string_view full(pattern);
    const std::string dir(full.substr(0, directoryPartLength(full, true)));
    WIN32_FIND_DATAA data{};
    HANDLE h = FindFirstFileA(pattern, &data);
    if (h == INVALID_HANDLE_VALUE)
        return nullptr;
    auto search = std::make_unique<WindowsSearch>(h, dir);
    search->data_ = data;
    if (!search->take(firstPath))
        return nullptr;
    return search;
}

} // namespace qv
