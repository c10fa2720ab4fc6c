// Helpers shared by the unit tests: temporary files and readers over bytes.
#pragma once

#include "platform/line_reader.h"

#include <cstdio>
#include <string>
#include <vector>

namespace qv::test {

/// A temporary file holding `bytes`, opened for binary reading.
class TempInput {
  public:
    explicit TempInput(const std::string& bytes) : file_(std::tmpfile()) {
        std::fwrite(bytes.data(), 1, bytes.size(), file_);
        std::rewind(file_);
    }
    ~TempInput() { std::fclose(file_); }
    TempInput(const TempInput&) = delete;
    TempInput& operator=(const TempInput&) = delete;
    std::FILE* get() const { return file_; }

  private:
    std::FILE* file_;
};

/// Every read of `bytes`, with a given read limit and buffer size.
inline std::vector<std::string> readAll(const std::string& bytes, std::size_t maxRead = 249,
                                        std::size_t bufferSize = 1 << 20) {
    TempInput input(bytes);
    LineReader reader(input.get(), maxRead, bufferSize);
    std::vector<std::string> reads;
    std::string_view line;
    while (reader.next(line))
        reads.emplace_back(line);
    return reads;
}

} // namespace qv::test
