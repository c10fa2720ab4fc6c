#include "platform/text_writer.h"

#include "platform/platform.h"

#include <cstring>

namespace qv {

TextFileWriter::TextFileWriter(const char* path, std::size_t bufferSize)
    : path_(path), buffer_(new char[bufferSize]), capacity_(bufferSize) {
    file_ = openForWrite(path, &error_); // error_ must exist first
}

TextFileWriter::~TextFileWriter() {
    close();
}

void TextFileWriter::write(std::string_view text) {
    while (!text.empty()) {
        const std::size_t nl = text.find('\n');
        if (nl == std::string_view::npos) {
            put(text.data(), text.size());
            return;
        }
        put(text.data(), nl);
        put("\r\n", 2);
        text.remove_prefix(nl + 1);
    }
}

void TextFileWriter::put(const char* data, std::size_t size) {
    if (!file_)
        return;
    if (used_ + size > capacity_)
        drain();
    if (size > capacity_) {
        fail(std::fwrite(data, 1, size, file_) != size);
        return;
    }
    std::memcpy(buffer_.get() + used_, data, size);
    used_ += size;
}

void TextFileWriter::drain() {
    if (file_ && used_ > 0)
        fail(std::fwrite(buffer_.get(), 1, used_, file_) != used_);
    used_ = 0;
}

void TextFileWriter::flush() {
    drain();
    if (file_)
        fail(std::fflush(file_) != 0);
}

// Keeps the reason of the first failure: later ones follow from it.
void TextFileWriter::fail(bool failedNow) {
    if (!failedNow)
        return;
    if (!failed_ && error_.empty())
        error_ = lastErrorText();
    failed_ = true;
}

bool TextFileWriter::close() {
    if (!file_)
        return !failed_;
    flush();
    fail(std::fclose(file_) != 0);
    file_ = nullptr;
    return !failed_;
}

} // namespace qv
