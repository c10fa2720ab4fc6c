// Helpers shared by the libFuzzer targets: a cursor over the fuzz input, an
// in-memory FILE that can fail on demand, the reference line cut, and checks
// that stop the run with a message.
#pragma once

#include "report/report.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#define FUZZ_CHECK(cond)                                                                           \
    do {                                                                                           \
        if (!(cond)) {                                                                             \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond);          \
            std::abort();                                                                          \
        }                                                                                          \
    } while (0)

namespace qv::fuzz {

/// Takes bytes and length-prefixed texts from the front of the input.
class Cursor {
  public:
    Cursor(const std::uint8_t* data, std::size_t size)
        : text_(reinterpret_cast<const char*>(data), size) {}

    std::uint8_t byte() {
        if (text_.empty())
            return 0;
        const auto b = static_cast<std::uint8_t>(text_.front());
        text_.remove_prefix(1);
        return b;
    }

    /// A text of up to `maxLength` bytes, its length taken from one byte.
    std::string_view text(std::size_t maxLength) {
        const std::size_t length = std::min<std::size_t>(byte() % (maxLength + 1), text_.size());
        const std::string_view taken = text_.substr(0, length);
        text_.remove_prefix(length);
        return taken;
    }

    std::string_view rest() const { return text_; }

  private:
    std::string_view text_;
};

/// An in-memory file for stdio. With `failAt` set, reading fails with EIO once
/// that many bytes have been delivered; `chunk` limits each delivery.
class MemoryFile {
  public:
    explicit MemoryFile(std::string_view bytes, std::size_t failAt = SIZE_MAX,
                        std::size_t chunk = SIZE_MAX);
    ~MemoryFile() { std::fclose(file_); }
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;
    std::FILE* get() const { return file_; }

  private:
    static ssize_t read(void* cookie, char* buffer, std::size_t size);

    std::string_view bytes_;
    std::size_t pos_ = 0;
    std::size_t failAt_;
    std::size_t chunk_;
    std::FILE* file_;
};

inline MemoryFile::MemoryFile(std::string_view bytes, std::size_t failAt, std::size_t chunk)
    : bytes_(bytes), failAt_(failAt), chunk_(std::max<std::size_t>(chunk, 1)) {
    cookie_io_functions_t io{};
    io.read = &MemoryFile::read;
    file_ = fopencookie(this, "r", io);
    FUZZ_CHECK(file_ != nullptr);
}

inline ssize_t MemoryFile::read(void* cookie, char* buffer, std::size_t size) {
    auto* self = static_cast<MemoryFile*>(cookie);
    const std::size_t limit = std::min(self->failAt_, self->bytes_.size());
    if (self->pos_ >= limit) {
        if (self->failAt_ <= self->bytes_.size()) {
            errno = EIO;
            return -1;
        }
        return 0;
    }
    const std::size_t take = std::min({size, limit - self->pos_, self->chunk_});
    std::memcpy(buffer, self->bytes_.data() + self->pos_, take);
    self->pos_ += take;
    return static_cast<ssize_t>(take);
}

/// The bytes as a text-mode read gives them: "\r\n" becomes "\n", a lone "\r"
/// stays, the first Ctrl-Z ends the stream.
inline std::string convertTextMode(std::string_view raw) {
    std::string text;
    text.reserve(raw.size());
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] == 0x1A)
            break;
        if (raw[i] == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n')
            continue;
        text += raw[i];
    }
    return text;
}

/// The reads of a converted stream by the fgets rule: stop after a newline
/// or after `maxRead` characters.
inline std::vector<std::string_view> referenceReads(std::string_view text, std::size_t maxRead) {
    std::vector<std::string_view> reads;
    while (!text.empty()) {
        const std::size_t nl = text.substr(0, maxRead).find('\n');
        const std::size_t length =
            nl == std::string_view::npos ? std::min(maxRead, text.size()) : nl + 1;
        reads.push_back(text.substr(0, length));
        text.remove_prefix(length);
    }
    return reads;
}

/// A field of fixed capacity holds its terminator inside the capacity.
inline bool terminatedWithin(const char* field, std::size_t capacity) {
    return std::memchr(field, '\0', capacity) != nullptr;
}

/// Sends the program's console output to the null device.
inline void silenceConsole() {
    std::FILE* sink = std::fopen("/dev/null", "w");
    FUZZ_CHECK(sink != nullptr);
    setConsoleStream(sink);
}

/// The text a TextFileWriter puts into its file for `text`.
inline std::string crlf(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (c == '\n')
            out += '\r';
        out += c;
    }
    return out;
}

inline std::string readWholeFile(const char* path) {
    std::string bytes;
    std::FILE* f = std::fopen(path, "rb");
    if (!f)
        return bytes;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
        bytes.append(buffer, n);
    std::fclose(f);
    return bytes;
}

/// A fresh private directory under the system's temporary folder, removed
/// when the fuzzer exits.
inline std::string makeScratchDirectory() {
    static std::string made;
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/qv-fuzz-XXXXXX";
    FUZZ_CHECK(mkdtemp(pattern.data()) != nullptr);
    made = pattern;
    std::atexit([] {
        std::error_code ignored;
        std::filesystem::remove_all(made, ignored);
    });
    return pattern;
}

} // namespace qv::fuzz
