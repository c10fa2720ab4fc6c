// POSIX side of the files a run writes: locked opens, atomic replacement and
// modification times.
#include "platform/platform.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qv {

std::FILE* openForWrite(const char* path, std::string* whyNot) {
    // Not truncated on open: a file another run holds must stay whole.
    const int fd = open(path, O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
        if (whyNot)
            *whyNot = lastErrorText();
        return nullptr;
    }
    // Only a regular file is one run's own: a device (/dev/null, /dev/full)
    // or a FIFO is shared by nature, and a lock there would refuse a second
    // run that writes to it. Only a holder counts; a file system without
    // locks is written as before.
    struct stat st {};
    const bool regular = fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    if (regular && flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
        close(fd);
        if (whyNot)
            *whyNot = kLockedText;
        return nullptr;
    }
    if (regular && ftruncate(fd, 0) != 0) {
        if (whyNot)
            *whyNot = lastErrorText();
        close(fd);
        return nullptr;
    }
    std::FILE* f = fdopen(fd, "w+b");
    if (!f) {
        if (whyNot)
            *whyNot = lastErrorText();
        close(fd);
    }
    return f;
}

bool replaceFile(const char* from, const char* to, std::string* whyNot) {
    if (std::rename(from, to) == 0)
        return true;
    if (whyNot)
        *whyNot = lastErrorText();
    return false;
}

std::int64_t modificationTimeOf(const char* path) {
    struct stat st {};
    if (stat(path, &st) != 0)
        return -1;
    return static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
}

} // namespace qv
