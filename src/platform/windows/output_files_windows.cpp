// Windows side of the files a run writes: locked opens, atomic replacement
// and modification times.
#include "platform/platform.h"

#include <cstdint>
#include <fcntl.h>
#include <io.h>
#include <windows.h>

namespace qv {

namespace {

// Locks the whole file, as far as any offset can reach.
bool lockWhole(HANDLE h) {
    OVERLAPPED at{};
    return LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD, MAXDWORD,
                      &at) != 0;
}

} // namespace

std::FILE* openForWrite(const char* path, std::string* whyNot) {
    // Not truncated on open: a file another run holds must stay whole.
    const HANDLE h = CreateFileA(path, GENERIC_READ | GENERIC_WRITE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        if (whyNot)
            *whyNot = lastErrorText();
        return nullptr;
    }
    const bool disk = GetFileType(h) == FILE_TYPE_DISK;
    if (disk && !lockWhole(h) && GetLastError() == ERROR_LOCK_VIOLATION) {
        CloseHandle(h);
        if (whyNot)
            *whyNot = kLockedText;
        return nullptr;
    }
    if (disk && !SetEndOfFile(h)) {
        if (whyNot)
            *whyNot = lastErrorText();
        CloseHandle(h);
        return nullptr;
    }
    const int fd = _open_osfhandle(reinterpret_cast<std::intptr_t>(h), _O_RDWR | _O_BINARY);
    if (fd < 0) {
        if (whyNot)
            *whyNot = lastErrorText();
        CloseHandle(h);
        return nullptr;
    }
    std::FILE* f = _fdopen(fd, "w+b");
    if (!f) {
        if (whyNot)
            *whyNot = lastErrorText();
        _close(fd);
    }
    return f;
}

bool replaceFile(const char* from, const char* to, std::string* whyNot) {
    // A reader (an exporter, a browser) holding the old file open makes the
    // move fail for a moment: try again for about a second.
    for (int attempt = 0;; ++attempt) {
        if (MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING))
            return true;
        const DWORD code = GetLastError();
        const bool busy = code == ERROR_SHARING_VIOLATION || code == ERROR_ACCESS_DENIED ||
                          code == ERROR_LOCK_VIOLATION;
        if (!busy || attempt >= 20) {
            if (whyNot)
                *whyNot = lastErrorText();
            return false;
        }
        Sleep(50);
    }
}

std::int64_t modificationTimeOf(const char* path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data))
        return -1;
    const std::uint64_t ticks =
        (static_cast<std::uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
        data.ftLastWriteTime.dwLowDateTime;
    // 100 ns steps since 1601; the epoch is 11644473600 s later.
    return static_cast<std::int64_t>(ticks - 116444736000000000ULL) * 100;
}

} // namespace qv
