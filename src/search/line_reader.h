// Line reads as a C runtime in text mode delivers them with a fixed-size
// buffer: "\r\n" becomes "\n", a lone "\r" stays, the first Ctrl-Z (0x1A)
// ends the file, and one read takes at most `maxRead` characters and stops
// after a newline, which it keeps.
//
// The buffer holds the file's bytes as they are; a read's "\r\n" is turned
// into "\n" only when the read is handed out. That keeps the text of every
// line searchable in place by the block search, without a conversion pass.
#pragma once

#include "search/read_ahead.h"
#include "sources/byte_source.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace qv {

inline constexpr std::size_t kLogReadMax = 249;    // 250-byte log line buffer
inline constexpr std::size_t kConfigReadMax = 199; // 200-byte config line buffer
inline constexpr std::size_t kCtrlZLookAhead = std::size_t{1} << 14;
inline constexpr std::size_t kReadBufferSize = std::size_t{1} << 18;

class LineReader {
  public:
    /// Reads from `source`, which must outlive the reader. Where the source
    /// hands over whole buffers, the reader's buffer is the size of theirs.
    explicit LineReader(ByteSource& source, std::size_t maxRead = kLogReadMax,
                        std::size_t bufferSize = kReadBufferSize);
    LineReader(const LineReader&) = delete;
    LineReader& operator=(const LineReader&) = delete;

    /// The next read, as a view valid until the following call. False at the
    /// end of the file or on a read error.
    bool next(std::string_view& line);

    /// From now on a helper thread reads the file one chunk ahead. Only
    /// before the first read, and only for a file whose reads cannot block
    /// (a regular file): the thread may read past where the input ends.
    /// The source is then read on the helper thread only.
    /// Nothing changes on a machine with a single processor.
    void readAhead();

    /// True when reading stopped on an error rather than the end of the file.
    bool readError() const { return readError_; }
    /// Why, in the system's words.
    std::string readErrorText() const { return source_.errorText(); }

    std::size_t maxRead() const { return maxRead_; }

    // Block access. `pending()` is the buffered input not yet handed out, as
    // raw bytes (a "\r\n" is still two bytes); it always starts where a read
    // starts. A Ctrl-Z in it may not have been seen yet: a caller that looks
    // at the bytes itself stops at the first one and calls `cutAt`.

    std::string_view pending() const { return {buffer_.get() + pos_, end_ - pos_}; }
    /// Drops the first `count` bytes of `pending()`, which the caller has
    /// seen to hold no Ctrl-Z; it keeps the position at the start of a read.
    void skip(std::size_t count) { pos_ += count; }
    /// The caller has seen that `pending()` holds no Ctrl-Z before `upTo`.
    void markChecked(const char* upTo) {
        checked_ = std::max(checked_, static_cast<std::size_t>(upTo - buffer_.get()));
    }
    /// Ends the input at `at`, a Ctrl-Z inside `pending()`.
    void cutAt(const char* at);
    /// How far beyond a read `next` looks for a Ctrl-Z at once: far when
    /// reading line by line, not at all when the caller searches the bytes
    /// past the read itself anyway.
    void setCtrlZLookAhead(std::size_t bytes) { ctrlZAhead_ = bytes; }
    /// Moves `pending()` to the front of the buffer and appends more of the
    /// file. False when nothing could be added: the input has ended.
    bool fill();
    /// No more bytes will come from the file: `pending()` is all that is left.
    bool atEnd() const { return atEnd_; }
    /// Changes whenever the buffered bytes may have moved or changed (a
    /// fill, a cut); `skip` and `next` leave it. What a caller worked out
    /// from the buffer holds while it stays.
    std::uint64_t bufferGeneration() const { return generation_; }

  private:
    void checkCtrlZ(std::size_t upTo);
    void moveToFront();
    bool fillAhead();
    bool fillFromChunk();
    char* findNewline(char* start) const;

    ByteSource& source_;
    std::size_t maxRead_;
    std::size_t capacity_;
    TextBuffer buffer_;
    std::size_t pos_ = 0; // start of the pending bytes
    std::size_t end_ = 0; // end of the buffered bytes
    // No Ctrl-Z before this offset. Looked for lazily, so that the block
    // search, which reads every byte anyway, spares a pass of its own.
    std::size_t checked_ = 0;
    std::size_t ctrlZAhead_ = kCtrlZLookAhead;
    std::uint64_t generation_ = 0;
    bool atEnd_ = false;
    bool readError_ = false;
    // Reading ahead, or a source whose text is in buffers already: chunks
    // land `aheadRoom_` bytes into the feed's buffer, leaving room in front
    // for the pending bytes to join them.
    std::size_t aheadRoom_;
    std::unique_ptr<ReadAhead> ahead_;
    ChunkFeed* feed_ = nullptr; // ahead_, or the source's own feed
    bool takeFeed(ChunkFeed* feed);
    std::size_t leftAt_ = 0;   // a chunk only partly taken: the rest's offset
    std::size_t leftSize_ = 0; // and size
};

} // namespace qv
