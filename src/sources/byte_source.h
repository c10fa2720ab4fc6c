// Where a LineReader takes its bytes from: an open file in a run, bytes in
// memory in tests and fuzzing (on every platform, without temporary files).
#pragma once

#include "platform/text_buffer.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace qv {

/// Text that comes in whole buffers, handed over rather than copied. Each
/// chunk's bytes lie at [room(), room() + size) of a buffer of bufferSize()
/// bytes; the room in front is free for the bytes the reader has not taken.
class ChunkFeed {
  public:
    struct Chunk {
        std::size_t size; // 0: the end of the input, or an error
        bool error;       // the source failed, once `size` is 0
    };
    virtual ~ChunkFeed() = default;
    /// Waits for the next chunk. Its bytes stay in `buffer()` until `next`.
    virtual Chunk wait() = 0;
    /// The buffer holding that chunk; the caller may swap it for another of
    /// bufferSize() bytes from allocateTextBuffer before calling `next`.
    virtual TextBuffer& buffer() = 0;
    /// Done with the chunk: its buffer (whichever it now is) goes back.
    virtual void next() = 0;
    virtual std::size_t bufferSize() const = 0;
    virtual std::size_t room() const = 0;
};

class ByteSource {
  public:
    virtual ~ByteSource() = default;
    /// Copies up to `size` bytes into `buffer`. Fewer than asked for is no
    /// sign of the end; 0 is the end of the input, or an error (`failed`).
    virtual std::size_t read(char* buffer, std::size_t size) = 0;
    /// True once a read has failed rather than met the end.
    virtual bool failed() const = 0;
    /// Why the read failed, in the system's words.
    virtual std::string errorText() const { return "read error"; }
    /// Copies up to `size` of the next bytes into `buffer` without taking
    /// them, in `got`; false, with nothing taken, where the source cannot go
    /// back (a pipe).
    virtual bool peek(char* /*buffer*/, std::size_t /*size*/, std::size_t& /*got*/) {
        return false;
    }
    /// Where the text is already in whole buffers, the feed that hands them
    /// over; a reader that takes it reads through it only, never `read`.
    virtual ChunkFeed* chunkFeed() { return nullptr; }
};

/// An open stdio file (binary mode); not owned, not closed.
class FileSource final : public ByteSource {
  public:
    explicit FileSource(std::FILE* file) : file_(file) {}
    std::size_t read(char* buffer, std::size_t size) override;
    bool failed() const override { return std::ferror(file_) != 0; }
    std::string errorText() const override { return error_; }
    bool peek(char* buffer, std::size_t size, std::size_t& got) override;

  private:
    std::FILE* file_;
    std::string error_; // set where the read failed, on the thread that read
};

/// Bytes in memory, handed out at most `chunk` at a time; with `failAt` set,
/// reading fails once that many bytes have been delivered.
class MemorySource final : public ByteSource {
  public:
    explicit MemorySource(std::string_view bytes, std::size_t chunk = SIZE_MAX,
                          std::size_t failAt = SIZE_MAX)
        : bytes_(bytes), chunk_(chunk == 0 ? 1 : chunk), failAt_(failAt) {}
    std::size_t read(char* buffer, std::size_t size) override;
    bool failed() const override { return failed_; }
    std::string errorText() const override { return "Input/output error"; }
    bool peek(char* buffer, std::size_t size, std::size_t& got) override;

  private:
    std::string_view bytes_;
    std::size_t chunk_;
    std::size_t failAt_;
    std::size_t pos_ = 0;
    bool failed_ = false;
};

} // namespace qv
