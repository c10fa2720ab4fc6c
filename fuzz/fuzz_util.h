// Helpers shared by the libFuzzer targets: a cursor over the fuzz input, the
// reference line cut (tests/support), and checks that stop the run with a
// message.
#pragma once

#include "report/report.h"
#include "sources/byte_source.h"
#include "support/reference_reader.h"

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

using test::convertTextMode;
using test::cutReads;

/// A field of fixed capacity holds its terminator inside the capacity.
inline bool terminatedWithin(const char* field, std::size_t capacity) {
    return std::memchr(field, '\0', capacity) != nullptr;
}

/// A console that writes to the null device, for the whole fuzzing run.
inline Console& nullConsole() {
    static std::FILE* sink = std::fopen("/dev/null", "w");
    FUZZ_CHECK(sink != nullptr);
    static Console console(sink);
    return console;
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
