#include "platform/platform.h"

namespace qv {

std::FILE* openForRead(const char* path, std::string* whyNot) {
    std::FILE* f = openSharedForRead(path);
    if (!f) {
        if (whyNot)
            *whyNot = lastErrorText();
        return nullptr;
    }
    if (isDirectory(f)) {
        std::fclose(f);
        if (whyNot)
            *whyNot = "is a directory";
        return nullptr;
    }
    // LineReader buffers the input itself; a stdio buffer as well would
    // split each of its big reads into two system calls and a copy.
    std::setvbuf(f, nullptr, _IONBF, 0);
    return f;
}

} // namespace qv
