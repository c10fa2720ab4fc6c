// Helpers shared by the unit tests: temporary files and readers over bytes.
#pragma once

#include "report/report.h"
#include "search/line_reader.h"
#include "sources/byte_source.h"

#include <cstdio>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

namespace qv::test {

/// A temporary file holding `bytes`, opened for binary reading. Made in the
/// temporary directory: the Windows C runtime's tmpfile() uses the root of the
/// current drive, which may be unwritable or shared by parallel test runs.
class TempInput {
  public:
    explicit TempInput(const std::string& bytes) : path_(uniquePath()) {
        file_ = std::fopen(path_.string().c_str(), "w+b");
        if (!file_)
            throw std::runtime_error("cannot create " + path_.string());
        std::fwrite(bytes.data(), 1, bytes.size(), file_);
        std::rewind(file_);
    }
    ~TempInput() {
        std::fclose(file_);
        std::error_code ignored;
        std::filesystem::remove(path_, ignored);
    }
    TempInput(const TempInput&) = delete;
    TempInput& operator=(const TempInput&) = delete;
    std::FILE* get() const { return file_; }

  private:
    static std::filesystem::path uniquePath() {
        static std::random_device seed;
        static unsigned counter = 0;
        const std::string name =
            "qv-test-" + std::to_string(seed()) + "-" + std::to_string(++counter);
        return std::filesystem::temp_directory_path() / name;
    }

    std::filesystem::path path_;
    std::FILE* file_ = nullptr;
};

/// Everything written to `file` so far, from its start.
inline std::string contents(std::FILE* file) {
    std::fflush(file);
    std::rewind(file);
    std::string bytes;
    char chunk[4096];
    for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, file)) > 0;)
        bytes.append(chunk, n);
    return bytes;
}

/// Everything written to a console, kept in a temporary file.
class ConsoleCapture {
  public:
    Console& console() { return console_; }
    std::string text() {
        console_.flush();
        return contents(file_.get());
    }

  private:
    TempInput file_{""};
    Console console_{file_.get()};
};

/// Every read of `bytes`, with a given read limit and buffer size.
inline std::vector<std::string> readAll(const std::string& bytes, std::size_t maxRead = 249,
                                        std::size_t bufferSize = 1 << 20, bool readAhead = false) {
    MemorySource input(bytes);
    LineReader reader(input, maxRead, bufferSize);
    if (readAhead)
        reader.readAhead();
    std::vector<std::string> reads;
    std::string_view line;
    while (reader.next(line))
        reads.emplace_back(line);
    return reads;
}

} // namespace qv::test
