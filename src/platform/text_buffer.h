// Memory for text in bulk: the read buffers and the pool of inflated text.
#pragma once

#include <cstddef>
#include <memory>

namespace qv {

/// Buffers of this size or more lie in large pages where the system has
/// them (Linux's transparent huge pages): touching a new 4 KiB page costs a
/// fault, which in a virtual machine costs about as much as copying it, and
/// a pool of 128 MiB has 32768 of them.
inline constexpr std::size_t kLargePageSize = std::size_t{2} << 20;

/// Frees what `allocateTextBuffer` gave: `mapped` bytes of pages, or an
/// array from new[] where it is 0.
struct TextBufferDeleter {
    std::size_t mapped = 0;
    void operator()(char* bytes) const noexcept;
};

using TextBuffer = std::unique_ptr<char[], TextBufferDeleter>;

/// `size` bytes, not cleared; throws std::bad_alloc when there is no memory.
/// Below kLargePageSize, from new[] as any other allocation.
TextBuffer allocateTextBuffer(std::size_t size);

} // namespace qv
