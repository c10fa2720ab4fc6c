#include "platform/text_buffer.h"

#include <sys/mman.h>

#include <cstdint>
#include <new>

namespace qv {

void TextBufferDeleter::operator()(char* bytes) const noexcept {
    if (mapped == 0)
        delete[] bytes;
    else
        munmap(bytes, mapped);
}

// Mapped with a large page's worth to spare, then cut to an aligned run of
// whole large pages: only those can be backed by one.
TextBuffer allocateTextBuffer(std::size_t size) {
    if (size < kLargePageSize)
        return TextBuffer(new char[size]);
    const std::size_t whole = (size + kLargePageSize - 1) / kLargePageSize * kLargePageSize;
    const std::size_t asked = whole + kLargePageSize;
    void* mapped = mmap(nullptr, asked, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED)
        throw std::bad_alloc();
    char* start = static_cast<char*>(mapped);
    const std::uintptr_t address = reinterpret_cast<std::uintptr_t>(start);
    const std::size_t skip = (kLargePageSize - address % kLargePageSize) % kLargePageSize;
    if (skip != 0)
        munmap(start, skip);
    if (asked - skip > whole)
        munmap(start + skip + whole, asked - skip - whole);
#if defined(MADV_HUGEPAGE)
    madvise(start + skip, whole, MADV_HUGEPAGE); // advice only: fine if refused
#endif
    return TextBuffer(start + skip, TextBufferDeleter{whole});
}

} // namespace qv
