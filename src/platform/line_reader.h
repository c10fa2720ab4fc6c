// Line reads as a C runtime in text mode delivers them with a fixed-size
// buffer: "\r\n" becomes "\n", a lone "\r" stays, the first Ctrl-Z (0x1A)
// ends the file, and one read takes at most `maxRead` characters and stops
// after a newline, which it keeps.
#pragma once

#include <cstddef>
#include <cstdio>
#include <memory>
#include <string_view>

namespace qv {

inline constexpr std::size_t kLogReadMax = 249;    // 250-byte log line buffer
inline constexpr std::size_t kConfigReadMax = 199; // 200-byte config line buffer

class LineReader {
  public:
    /// Reads from `file` (opened in binary mode); does not own or close it.
    explicit LineReader(std::FILE* file, std::size_t maxRead = kLogReadMax,
                        std::size_t bufferSize = std::size_t{1} << 20);
    LineReader(const LineReader&) = delete;
    LineReader& operator=(const LineReader&) = delete;

    /// The next read, as a view valid until the following call. False at the
    /// end of the file or on a read error.
    bool next(std::string_view& line);

    /// True when reading stopped on an error rather than the end of the file.
    bool readError() const { return readError_; }

    std::size_t maxRead() const { return maxRead_; }

  private:
    bool refill();
    std::size_t convert(char* data, std::size_t size);

    std::FILE* file_;
    std::size_t maxRead_;
    std::size_t capacity_;
    std::unique_ptr<char[]> buffer_;
    std::size_t pos_ = 0; // start of unread converted text
    std::size_t end_ = 0; // end of converted text
    bool heldCR_ = false; // a "\r" at a chunk end, waiting for the next byte
    bool atEnd_ = false;  // no more bytes will come from the file
    bool readError_ = false;
};

} // namespace qv
