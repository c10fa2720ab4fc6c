// Text-mode writing on every platform: each "\n" goes into the file as
// "\r\n", so output files are the same bytes on Windows and Linux.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

namespace qv {

class TextFileWriter {
  public:
    /// Creates or truncates `path`. Check `isOpen()` afterwards.
    explicit TextFileWriter(const char* path, std::size_t bufferSize = std::size_t{64} * 1024);
    ~TextFileWriter();
    TextFileWriter(const TextFileWriter&) = delete;
    TextFileWriter& operator=(const TextFileWriter&) = delete;

    bool isOpen() const { return file_ != nullptr; }
    const std::string& path() const { return path_; }

    void write(std::string_view text);
    /// Writes the bytes as they are, for text that carries its own line ends.
    void writeRaw(std::string_view bytes) { put(bytes.data(), bytes.size()); }
    void flush();
    /// Flushes and closes; false when any write, the flush or the close failed.
    bool close();
    bool failed() const { return failed_; }
    /// Why the open or the first failed write failed, in the system's words.
    const std::string& errorText() const { return error_; }

  private:
    void put(const char* data, std::size_t size);
    void drain();
    void fail(bool failedNow);

    std::string path_;
    std::FILE* file_ = nullptr;
    std::unique_ptr<char[]> buffer_;
    std::size_t capacity_;
    std::size_t used_ = 0;
    bool failed_ = false;
    std::string error_;
};

} // namespace qv
