#include "platform/platform.h"

namespace qv {

std::FILE* openForRead(const char* path) {
    std::FILE* f = std::fopen(path, "rb");
    if (!f)
        return nullptr;
    if (isDirectory(f)) {
        std::fclose(f);
        return nullptr;
    }
    // LineReader buffers the input itself; a stdio buffer as well would
    // split each of its big reads into two system calls and a copy.
    std::setvbuf(f, nullptr, _IONBF, 0);
    return f;
}

std::FILE* openForWrite(const char* path) {
    return std::fopen(path, "w+b");
}

} // namespace qv
