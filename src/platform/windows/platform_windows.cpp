// Windows side of the platform layer.
#include "platform/platform.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <thread>
#include <windows.h>

namespace qv {

std::FILE* openSharedForRead(const char* path) {
    const HANDLE h =
        CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return nullptr; // GetLastError() says why
    const int fd = _open_osfhandle(reinterpret_cast<std::intptr_t>(h), _O_RDONLY | _O_BINARY);
    if (fd < 0) {
        CloseHandle(h);
        return nullptr;
    }
    std::FILE* f = _fdopen(fd, "rb");
    if (!f)
        _close(fd);
    return f;
}

// A named pipe without a server fails to open at once; what opens and is no
// disk file (a console, a device) is refused here.
std::FILE* openRegularForRead(const char* path, std::string* whyNot, bool* notRegular) {
    std::FILE* f = openForRead(path, whyNot);
    if (!f || regularFileIdOf(f).known)
        return f;
    std::fclose(f);
    if (whyNot)
        *whyNot = "not a regular file";
    if (notRegular)
        *notRegular = true;
    return nullptr;
}

std::string lastErrorText() {
    const int crtError = errno;
    const DWORD code = GetLastError();
    if (code == 0)
        return std::strerror(crtError);
    char text[512] = {};
    const DWORD length =
        FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
                       MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), text, sizeof text, nullptr);
    std::string message(text, length);
    // The system's messages end with a full stop and a line break.
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                                message.back() == ' ' || message.back() == '.'))
        message.pop_back();
    return message.empty() ? std::string(std::strerror(crtError)) : message;
}

bool isDirectory(std::FILE* file) {
    struct _stat64 st {};
    return _fstat64(_fileno(file), &st) != 0 || (st.st_mode & _S_IFDIR) != 0;
}

namespace {

bool fileInformation(const char* path, BY_HANDLE_FILE_INFORMATION& info) {
    // No access rights are asked for: only the identity is read. Backup
    // semantics let a directory be opened as well.
    HANDLE h = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    const bool ok = GetFileInformationByHandle(h, &info) != 0;
    CloseHandle(h);
    return ok;
}

// Entries come in the order FindNextFileA delivers them; the handle is
// released as soon as the search is exhausted.
class WindowsSearch final : public FileSearch {
  public:
    WindowsSearch(HANDLE handle, const WIN32_FIND_DATAA& first, std::string dir)
        : handle_(handle), data_(first), dir_(std::move(dir)) {}
    ~WindowsSearch() override { release(); }
    WindowsSearch(const WindowsSearch&) = delete;
    WindowsSearch& operator=(const WindowsSearch&) = delete;

    bool next(std::string& path) override {
        while (pending_) {
            // Directories are never matched, nor devices.
            const bool directory =
                (data_.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) != 0;
            if (!directory)
                path.assign(dir_).append(data_.cFileName);
            advance();
            if (!directory)
                return true;
        }
        return false;
    }

  private:
    void advance() {
        pending_ = FindNextFileA(handle_, &data_) != 0;
        if (!pending_)
            release();
    }
    void release() {
        if (handle_ != INVALID_HANDLE_VALUE)
            FindClose(handle_);
        handle_ = INVALID_HANDLE_VALUE;
    }

    HANDLE handle_;
    WIN32_FIND_DATAA data_;
    std::string dir_;
    bool pending_ = true; // data_ holds an entry not yet looked at
};

} // namespace

namespace {

FileId idOf(const BY_HANDLE_FILE_INFORMATION& info) {
    return {info.dwVolumeSerialNumber,
            (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow, true};
}

} // namespace

FileId fileIdOf(const char* path) {
    BY_HANDLE_FILE_INFORMATION info{};
    return fileInformation(path, info) ? idOf(info) : FileId{};
}

FileId regularFileIdOf(std::FILE* stream) {
    const int fd = _fileno(stream);
    if (fd < 0)
        return {};
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
    BY_HANDLE_FILE_INFORMATION info{};
    if (handle == INVALID_HANDLE_VALUE || GetFileType(handle) != FILE_TYPE_DISK ||
        !GetFileInformationByHandle(handle, &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return {};
    return idOf(info);
}

FileId fileOrPipeIdOf(std::FILE* stream) {
    return regularFileIdOf(stream);
}

bool sameFile(const char* a, const char* b) {
    return fileIdOf(a) == fileIdOf(b);
}

void reopenClosedStandardStreams() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (_get_osfhandle(fd) != -1)
            continue;
        const int opened = _open("NUL", _O_RDWR | _O_BINARY);
        if (opened >= 0 && opened != fd) {
            _dup2(opened, fd);
            _close(opened);
        }
    }
}

std::FILE* standardInput() {
    _setmode(_fileno(stdin), _O_BINARY); // LineReader does the text-mode conversion
    std::setvbuf(stdin, nullptr, _IONBF, 0);
    return stdin;
}

std::int64_t regularFileSize(std::FILE* file) {
    struct _stat64 st {};
    if (_fstat64(_fileno(file), &st) != 0 || (st.st_mode & _S_IFREG) == 0)
        return -1;
    return static_cast<std::int64_t>(st.st_size);
}

int usableCores() {
    DWORD_PTR process = 0;
    DWORD_PTR system = 0;
    if (GetProcessAffinityMask(GetCurrentProcess(), &process, &system) && process != 0)
        return std::popcount(static_cast<std::uint64_t>(process));
    return static_cast<int>(std::max(1U, std::thread::hardware_concurrency()));
}

bool consoleIsTerminal() {
    // _isatty() also holds for the NUL device; only a real console counts.
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode) != 0;
}

bool errorsAreTerminal() {
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

std::unique_ptr<FileSearch> findFirstFile(const char* pattern, std::string& firstPath,
                                          std::string* whyNot) {
    const std::string_view full(pattern);
    std::string dir(full.substr(0, directoryPartLength(full, true)));
    WIN32_FIND_DATAA data{};
    HANDLE h = FindFirstFileA(pattern, &data);
    if (h == INVALID_HANDLE_VALUE) {
        // No match and no such folder are no failure; the rest is.
        const DWORD code = GetLastError();
        if (whyNot && code != ERROR_FILE_NOT_FOUND && code != ERROR_PATH_NOT_FOUND &&
            code != ERROR_NO_MORE_FILES)
            *whyNot = lastErrorText();
        return nullptr;
    }
    auto search = std::make_unique<WindowsSearch>(h, data, std::move(dir));
    if (!search->next(firstPath))
        return nullptr;
    return search;
}

} // namespace qv
